#include "engine/decrypt_package.h"

#include <glib.h>

#include <cstring>
#include <pugixml.hpp>

#include "engine/biff_cursor.h"
#include "engine/book.h"
#include "engine/decrypt_common.h"
#include "engine/decrypt_primitives.h"
#include "engine/ole2_container.h"

namespace ledgerix::engine {
namespace {

using crypto::CipherAlgorithm;
using crypto::HashAlgorithm;

// Key-derivation rounds beyond this are refused: the format allows no more, and a damaged
// count must not keep the reader busy for minutes.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing runs thousands of inputs a second; its encrypted seed uses 1000 rounds.
constexpr std::uint32_t kMaxSpinCount = 1000;
#else
constexpr std::uint32_t kMaxSpinCount = 10'000'000;
#endif
constexpr std::size_t kSegment = 4096;

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

[[noreturn]] void Unreadable(const std::string& detail) {
  throw BookError(std::string(kEncrypted) + "（" + detail + "）");
}
[[noreturn]] void Damaged(const std::string& detail) {
  throw BookError(std::string(kCorrupt) + "（encrypted package: " + detail + "）");
}

// The package's stated size, then its encrypted bytes.
struct EncryptedBytes {
  std::uint64_t size = 0;
  std::string_view data;
};

EncryptedBytes SplitPackage(std::string_view stream) {
  HeaderReader r(stream, "EncryptedPackage");
  EncryptedBytes out;
  out.size = r.U64();
  out.data = stream.substr(8);
  if (out.size > out.data.size()) {
    Damaged("states " + std::to_string(out.size) + " bytes but holds " +
            std::to_string(out.data.size()));
  }
  return out;
}

// --- standard encryption -----------------------------------------------------------------

std::optional<std::string> StandardKey(const CryptoApiHeader& h, const std::string& password) {
  std::string digest = crypto::Hash(HashAlgorithm::kSha1, {h.salt, crypto::Utf16Le(password)});
  for (std::uint32_t i = 0; i < 50000; ++i) {
    digest = crypto::Hash(HashAlgorithm::kSha1, {Le32(i), digest});
  }
  digest = crypto::Hash(HashAlgorithm::kSha1, {digest, Le32(0)});
  std::string inner(64, '\x36'), outer(64, '\x5C');
  for (std::size_t i = 0; i < digest.size(); ++i) {
    inner[i] = static_cast<char>(inner[i] ^ digest[i]);
    outer[i] = static_cast<char>(outer[i] ^ digest[i]);
  }
  std::string key =
      crypto::Hash(HashAlgorithm::kSha1, {inner}) + crypto::Hash(HashAlgorithm::kSha1, {outer});
  key.resize(h.key_bits / 8);
  std::string verifier = crypto::BlockDecrypt(CipherAlgorithm::kAes, key, {}, h.encrypted_verifier);
  std::string hash_blocks = h.encrypted_verifier_hash.substr(0, 32);
  std::string hash = crypto::BlockDecrypt(CipherAlgorithm::kAes, key, {}, hash_blocks);
  std::string expected = crypto::Hash(HashAlgorithm::kSha1, {verifier});
  if (hash.compare(0, expected.size(), expected) != 0) return std::nullopt;
  return key;
}

std::string DecryptStandard(HeaderReader& info, std::string_view package, const std::string& path) {
  CryptoApiHeader h = ReadCryptoApiHeader(info);
  if (h.alg_id != 0x660E && h.alg_id != 0x660F && h.alg_id != 0x6610) {
    Unreadable("standard encryption with cipher " + biff::Hex(h.alg_id));
  }
  if (h.hash_id != 0 && h.hash_id != 0x8004)
    Unreadable("standard encryption with a non-SHA-1 hash");
  if (h.key_bits != 128 && h.key_bits != 192 && h.key_bits != 256) {
    Damaged("AES key of " + std::to_string(h.key_bits) + " bits");
  }
  if (h.verifier_hash_size != 20 || h.encrypted_verifier_hash.size() < 32) {
    Damaged("verifier hash of " + std::to_string(h.verifier_hash_size) + " bytes");
  }
  std::string key;
  TryWorkbookPasswords(path, [&](const std::string& password) {
    std::optional<std::string> k = StandardKey(h, password);
    if (k) key = std::move(*k);
    return k.has_value();
  });
  EncryptedBytes bytes = SplitPackage(package);
  std::size_t whole = bytes.data.size() / 16 * 16;
  if (whole < bytes.size) Damaged("ends inside an AES block");
  std::string plain =
      crypto::BlockDecrypt(CipherAlgorithm::kAes, key, {}, bytes.data.substr(0, whole));
  plain.resize(static_cast<std::size_t>(bytes.size));
  return plain;
}

// --- agile encryption --------------------------------------------------------------------

const char kVerifierInputBlock[] = "\xfe\xa7\xd2\x76\x3b\x4b\x9e\x79";
const char kVerifierHashBlock[] = "\xd7\xaa\x0f\x6d\x30\x61\x34\x4e";
const char kKeyValueBlock[] = "\x14\x6e\x0b\xe7\xab\xac\xd0\xd6";
const char kHmacKeyBlock[] = "\x5f\xb2\xad\x01\x0c\xb9\xe1\xf6";
const char kHmacValueBlock[] = "\xa0\x67\x7f\x02\xb2\x2c\x84\x33";

// The cipher and hash parameters an agile keyData or encryptedKey element carries.
struct AgileParams {
  CipherAlgorithm cipher = CipherAlgorithm::kAes;
  HashAlgorithm hash = HashAlgorithm::kSha1;
  std::size_t key_bytes = 0;
  std::size_t block_size = 0;
  std::size_t hash_size = 0;
  std::string salt;
};

std::string_view LocalName(const pugi::xml_node& node) {
  std::string_view name = node.name();
  std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& parent, std::string_view local) {
  for (pugi::xml_node n : parent.children()) {
    if (n.type() == pugi::node_element && LocalName(n) == local) return n;
  }
  return {};
}

std::string Base64(const pugi::xml_node& node, const char* attribute) {
  pugi::xml_attribute a = node.attribute(attribute);
  if (!a) Damaged(std::string("no ") + attribute + " in " + node.name());
  gsize n = 0;
  guchar* raw = g_base64_decode(a.value(), &n);
  std::string out(reinterpret_cast<const char*>(raw), n);
  g_free(raw);
  return out;
}

std::uint32_t Number(const pugi::xml_node& node, const char* attribute) {
  pugi::xml_attribute a = node.attribute(attribute);
  if (!a) Damaged(std::string("no ") + attribute + " in " + node.name());
  return a.as_uint();
}

AgileParams ReadParams(const pugi::xml_node& node) {
  AgileParams p;
  std::string cipher = node.attribute("cipherAlgorithm").value();
  if (cipher == "AES") {
    p.cipher = CipherAlgorithm::kAes;
  } else if (cipher == "DES") {
    p.cipher = CipherAlgorithm::kDes;
  } else if (cipher == "3DES" || cipher == "DESede") {
    p.cipher = CipherAlgorithm::kDes3;
  } else if (cipher == "RC2") {
    p.cipher = CipherAlgorithm::kRc2;
  } else {
    Unreadable("agile encryption with cipher \"" + cipher + "\"");
  }
  std::string chaining = node.attribute("cipherChaining").value();
  if (chaining != "ChainingModeCBC") {
    Unreadable("agile encryption with chaining \"" + chaining + "\"");
  }
  std::string hash = node.attribute("hashAlgorithm").value();
  if (hash == "SHA1" || hash == "SHA-1") {
    p.hash = HashAlgorithm::kSha1;
  } else if (hash == "SHA256" || hash == "SHA-256") {
    p.hash = HashAlgorithm::kSha256;
  } else if (hash == "SHA384" || hash == "SHA-384") {
    p.hash = HashAlgorithm::kSha384;
  } else if (hash == "SHA512" || hash == "SHA-512") {
    p.hash = HashAlgorithm::kSha512;
  } else if (hash == "MD5") {
    p.hash = HashAlgorithm::kMd5;
  } else {
    Unreadable("agile encryption with hash \"" + hash + "\"");
  }
  std::uint32_t key_bits = Number(node, "keyBits");
  p.key_bytes = key_bits / 8;
  p.block_size = Number(node, "blockSize");
  p.hash_size = Number(node, "hashSize");
  p.salt = Base64(node, "saltValue");
  if (key_bits % 8 != 0 || !crypto::AcceptsKeySize(p.cipher, p.key_bytes)) {
    Unreadable(cipher + " with a key of " + std::to_string(key_bits) + " bits");
  }
  if (p.block_size != crypto::BlockSize(p.cipher)) {
    Damaged("block size " + std::to_string(p.block_size) + " for " + cipher);
  }
  if (p.hash_size != crypto::DigestSize(p.hash)) {
    Damaged("hash size " + std::to_string(p.hash_size) + " for " + hash);
  }
  return p;
}

// Truncated to size, or padded with 0x36 bytes.
std::string Fit(std::string bytes, std::size_t size) {
  bytes.resize(size, '\x36');
  return bytes;
}

// Decrypts whole blocks of data in CBC mode; a ragged tail is damage.
std::string Cbc(const AgileParams& p, const std::string& key, const std::string& iv,
                std::string_view data, const char* what) {
  if (data.empty() || data.size() % p.block_size != 0) {
    Damaged(std::string(what) + " of " + std::to_string(data.size()) + " bytes");
  }
  return crypto::BlockDecrypt(p.cipher, key, Fit(iv, p.block_size), data);
}

std::string DecryptAgile(std::string_view xml, std::string_view package, const std::string& path) {
  pugi::xml_document doc;
  if (!doc.load_buffer(xml.data(), xml.size())) Damaged("EncryptionInfo XML not readable");
  pugi::xml_node root = doc.document_element();
  pugi::xml_node key_data = Child(root, "keyData");
  pugi::xml_node integrity = Child(root, "dataIntegrity");
  pugi::xml_node password_key;
  for (pugi::xml_node e : Child(root, "keyEncryptors").children()) {
    if (LocalName(e) == "keyEncryptor" &&
        std::strcmp(e.attribute("uri").value(),
                    "http://schemas.microsoft.com/office/2006/keyEncryptor/password") == 0) {
      password_key = Child(e, "encryptedKey");
    }
  }
  if (!key_data) Damaged("no keyData");
  if (!password_key) Unreadable("agile encryption without a password key (certificate only)");
  AgileParams data = ReadParams(key_data);
  AgileParams pk = ReadParams(password_key);
  std::uint32_t spin = Number(password_key, "spinCount");
  if (spin > kMaxSpinCount) Damaged("spin count " + std::to_string(spin));
  std::string verifier_input = Base64(password_key, "encryptedVerifierHashInput");
  std::string verifier_hash = Base64(password_key, "encryptedVerifierHashValue");
  std::string key_value = Base64(password_key, "encryptedKeyValue");

  std::string secret;
  TryWorkbookPasswords(path, [&](const std::string& password) {
    std::string h = crypto::Hash(pk.hash, {pk.salt, crypto::Utf16Le(password)});
    for (std::uint32_t i = 0; i < spin; ++i) h = crypto::Hash(pk.hash, {Le32(i), h});
    auto key = [&](const char* block) {
      return Fit(crypto::Hash(pk.hash, {h, std::string_view(block, 8)}), pk.key_bytes);
    };
    std::string input = Cbc(pk, key(kVerifierInputBlock), pk.salt, verifier_input, "verifier");
    std::string hash = Cbc(pk, key(kVerifierHashBlock), pk.salt, verifier_hash, "verifier hash");
    std::string expected = crypto::Hash(pk.hash, {input.substr(0, pk.salt.size())});
    if (hash.compare(0, expected.size(), expected) != 0) return false;
    secret = Cbc(pk, key(kKeyValueBlock), pk.salt, key_value, "key").substr(0, data.key_bytes);
    return true;
  });
  if (secret.size() != data.key_bytes)
    Damaged("key shorter than " + std::to_string(data.key_bytes) + " bytes");

  if (integrity) {
    auto iv = [&](const char* block) {
      return crypto::Hash(data.hash, {data.salt, std::string_view(block, 8)});
    };
    std::string hmac_key =
        Cbc(data, secret, iv(kHmacKeyBlock), Base64(integrity, "encryptedHmacKey"), "HMAC key")
            .substr(0, data.hash_size);
    std::string hmac_value = Cbc(data, secret, iv(kHmacValueBlock),
                                 Base64(integrity, "encryptedHmacValue"), "HMAC value")
                                 .substr(0, data.hash_size);
    if (crypto::Hmac(data.hash, hmac_key, package) != hmac_value) {
      Damaged("the data integrity check (HMAC) fails");
    }
  }

  EncryptedBytes bytes = SplitPackage(package);
  std::string plain;
  plain.reserve(bytes.data.size());
  for (std::size_t at = 0, segment = 0; at < bytes.size; at += kSegment, ++segment) {
    std::string_view chunk = bytes.data.substr(at, kSegment);
    std::size_t whole = chunk.size() / data.block_size * data.block_size;
    std::string iv =
        crypto::Hash(data.hash, {data.salt, Le32(static_cast<std::uint32_t>(segment))});
    plain += Cbc(data, secret, iv, chunk.substr(0, whole), "package segment");
  }
  if (plain.size() < bytes.size) Damaged("ends inside a cipher block");
  plain.resize(static_cast<std::size_t>(bytes.size));
  return plain;
}

}  // namespace

std::optional<std::string> DecryptPackage(const std::string& file_bytes, const std::string& path) {
  Ole2Container container(file_bytes);
  int package_index = container.Find("EncryptedPackage");
  if (package_index < 0) return std::nullopt;
  int info_index = container.Find("EncryptionInfo");
  if (info_index < 0) {
    throw BookError(std::string(kEncrypted) + "（encrypted Office Open XML package）");
  }
  std::string info = container.Read(info_index, file_bytes.size());
  std::string package = container.Read(package_index, file_bytes.size());
  HeaderReader r(info, "EncryptionInfo");
  std::uint16_t major = r.U16();
  std::uint16_t minor = r.U16();
  if (major == 4 && minor == 4) {
    r.U32();  // reserved flags
    return DecryptAgile(std::string_view(info).substr(r.pos()), package, path);
  }
  if ((major == 2 || major == 3 || major == 4) && minor == 2) {
    return DecryptStandard(r, package, path);
  }
  Unreadable("EncryptionInfo version " + std::to_string(major) + "." + std::to_string(minor));
}

}  // namespace ledgerix::engine
