// The few cryptographic operations encrypted workbooks need, over nettle: digests, HMAC, the
// RC4 key stream and block-cipher decryption. Everything works on byte strings.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace ledgerix::engine::crypto {

enum class HashAlgorithm { kMd5, kSha1, kSha256, kSha384, kSha512 };
enum class CipherAlgorithm { kAes, kDes, kDes3, kRc2 };

std::size_t DigestSize(HashAlgorithm algorithm);
// The digest of the parts, concatenated.
std::string Hash(HashAlgorithm algorithm, std::initializer_list<std::string_view> parts);
std::string Hmac(HashAlgorithm algorithm, std::string_view key, std::string_view data);

// The RC4 key stream of one key, applied by XOR as it runs.
class Rc4 {
 public:
  explicit Rc4(std::string_view key);
  ~Rc4();
  Rc4(const Rc4&) = delete;
  Rc4& operator=(const Rc4&) = delete;
  // XORs the next n key-stream bytes into data.
  void Apply(char* data, std::size_t n);
  // Moves the key stream on by n bytes.
  void Skip(std::size_t n);

 private:
  struct State;
  State* state_;
};

std::size_t BlockSize(CipherAlgorithm algorithm);
// Whether the cipher takes a key of key_bytes bytes.
bool AcceptsKeySize(CipherAlgorithm algorithm, std::size_t key_bytes);
// Decrypts data, a whole number of blocks, with key: in CBC mode from iv (one block), or in
// ECB mode when iv is empty. The caller has checked the key size and the lengths.
std::string BlockDecrypt(CipherAlgorithm algorithm, std::string_view key, std::string_view iv,
                         std::string_view data);

// A UTF-8 password as the UTF-16LE bytes the key derivations hash. A password that is not UTF-8
// at all is taken byte by byte as Latin-1 (on purpose, unlike text: a password typed in a
// Latin-1 terminal still matches, where U+FFFD could never match anything).
std::string Utf16Le(std::string_view utf8);

}  // namespace ledgerix::engine::crypto
