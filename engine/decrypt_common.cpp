#include "engine/decrypt_common.h"

#include "bridges/workbook_passwords.h"
#include "engine/book.h"

namespace ledgerix::engine {

std::string WrongPasswordText(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return "工作簿“" + name + "”已加密，密码不正确";
}

void TryWorkbookPasswords(const std::string& path,
                          const std::function<bool(const std::string& password)>& attempt) {
  if (attempt(std::string(kDefaultWorkbookPassword))) return;
  WorkbookPasswords passwords = CurrentWorkbookPasswords();
  for (const std::string& password : passwords.known) {
    if (attempt(password)) return;
  }
  if (passwords.ask) {
    std::optional<std::string> answer = passwords.ask(path);
    if (answer && attempt(*answer)) return;
  }
  throw BookError(WrongPasswordText(path));
}

std::uint16_t HeaderReader::U16() {
  std::string_view b = Bytes(2);
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[0]) |
                                    (static_cast<unsigned char>(b[1]) << 8));
}

std::uint32_t HeaderReader::U32() {
  std::uint32_t low = U16();
  return low | (std::uint32_t{U16()} << 16);
}

std::uint64_t HeaderReader::U64() {
  std::uint64_t low = U32();
  return low | (std::uint64_t{U32()} << 32);
}

std::string_view HeaderReader::Bytes(std::size_t n) {
  if (n > remaining()) {
    Fail("needs " + std::to_string(n) + " bytes at offset " + std::to_string(pos_) + ", has " +
         std::to_string(remaining()));
  }
  std::string_view out = data_.substr(pos_, n);
  pos_ += n;
  return out;
}

void HeaderReader::Fail(const std::string& detail) const {
  // Without a readable header there is no way to the key: for the user the workbook is one
  // that is encrypted and cannot be read.
  throw BookError(std::string(kEncrypted) + "（" + what_ + ": " + detail + "）");
}

}  // namespace ledgerix::engine

namespace ledgerix::engine {

CryptoApiHeader ReadCryptoApiHeader(HeaderReader& r) {
  CryptoApiHeader h;
  r.U32();  // flags, repeated in the header
  std::uint32_t header_size = r.U32();
  if (header_size < 32 || header_size > r.remaining()) {
    r.Fail("encryption header of " + std::to_string(header_size) + " bytes");
  }
  HeaderReader header(r.Bytes(header_size), "encryption header");
  header.U32();  // flags
  header.U32();  // size of extra data, unused
  h.alg_id = header.U32();
  h.hash_id = header.U32();
  h.key_bits = header.U32();
  std::uint32_t salt_size = r.U32();
  if (salt_size != 16) r.Fail("salt of " + std::to_string(salt_size) + " bytes");
  h.salt = std::string(r.Bytes(16));
  h.encrypted_verifier = std::string(r.Bytes(16));
  h.verifier_hash_size = r.U32();
  h.encrypted_verifier_hash = std::string(r.Bytes(r.remaining()));
  if (h.verifier_hash_size == 0 || h.verifier_hash_size > h.encrypted_verifier_hash.size()) {
    r.Fail("verifier hash of " + std::to_string(h.verifier_hash_size) + " bytes");
  }
  return h;
}

}  // namespace ledgerix::engine
