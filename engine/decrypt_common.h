// What the two kinds of encrypted workbook share: trying the passwords in order, the message
// for a password that does not open the file, and a bounds-checked reader of the little-endian
// encryption headers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ledgerix::engine {

// "工作簿“a.xls”已加密，密码不正确", with the file name (no folder) of path.
std::string WrongPasswordText(const std::string& path);

// Calls attempt with the default password, then each known password, then (once) the one the
// user gives when asked, until attempt returns true. Throws BookError(WrongPasswordText) when
// none opens the file or the user declines. attempt may throw BookError for a damaged file.
void TryWorkbookPasswords(const std::string& path,
                          const std::function<bool(const std::string& password)>& attempt);

// Reads an encryption header; running past its end throws BookError(kEncrypted) naming what.
class HeaderReader {
 public:
  HeaderReader(std::string_view data, std::string what) : data_(data), what_(std::move(what)) {}
  std::uint16_t U16();
  std::uint32_t U32();
  std::uint64_t U64();
  std::string_view Bytes(std::size_t n);
  std::size_t pos() const { return pos_; }
  std::size_t remaining() const { return data_.size() - pos_; }
  [[noreturn]] void Fail(const std::string& detail) const;

 private:
  std::string_view data_;
  std::string what_;
  std::size_t pos_ = 0;
};

}  // namespace ledgerix::engine

namespace ledgerix::engine {

// The encryption header and password verifier that the CryptoAPI RC4 of .xls files and the
// standard encryption of .xlsx packages share (after the version fields).
struct CryptoApiHeader {
  std::uint32_t alg_id = 0;    // 0x6801 RC4, 0x660E/0x660F/0x6610 AES-128/192/256
  std::uint32_t hash_id = 0;   // 0x8004 SHA-1 (0: SHA-1)
  std::uint32_t key_bits = 0;  // 0 means 40
  std::string salt;
  std::string encrypted_verifier;
  std::uint32_t verifier_hash_size = 0;
  std::string encrypted_verifier_hash;  // what is left of the data
};

// Reads flags, header size, header and verifier. Throws BookError(kEncrypted) when short.
CryptoApiHeader ReadCryptoApiHeader(HeaderReader& r);

}  // namespace ledgerix::engine
