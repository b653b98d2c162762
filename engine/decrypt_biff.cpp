#include "engine/decrypt_biff.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/biff_cursor.h"
#include "engine/biff_records.h"
#include "engine/book.h"
#include "engine/decrypt_common.h"
#include "engine/decrypt_primitives.h"

namespace ledgerix::engine {
namespace {

using crypto::HashAlgorithm;

constexpr std::uint16_t kBof8 = 0x0809;
constexpr std::uint16_t kEofId = 0x000A;
constexpr std::uint16_t kFilePassId = 0x002F;
constexpr std::uint16_t kBoundSheetId = 0x0085;
constexpr std::size_t kRc4Block = 1024;

struct RawRecord {
  std::size_t offset;  // of the header
  std::uint16_t id;
  std::size_t size;
  std::size_t payload() const { return offset + 4; }
};

std::uint16_t U16At(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                    (static_cast<unsigned char>(s[at + 1]) << 8));
}

// Every whole record of the stream, in order; a header or payload running past the end stops
// the list there (the reader reports it).
std::vector<RawRecord> SplitRecords(const std::string& stream) {
  std::vector<RawRecord> records;
  std::size_t pos = 0;
  while (stream.size() - pos >= 4) {
    RawRecord r{pos, U16At(stream, pos), U16At(stream, pos + 2)};
    if (r.size > stream.size() - pos - 4) break;
    records.push_back(r);
    pos += 4 + r.size;
  }
  return records;
}

// Records the format leaves in clear in an encrypted stream.
bool StaysClear(std::uint16_t id) {
  switch (id) {
    case 0x0809:  // BOF (and the BOF of older versions)
    case 0x0009:
    case 0x0209:
    case 0x0409:
    case kFilePassId:
    case 0x0194:  // USREXCL
    case 0x0195:  // FILELOCK
    case 0x00E1:  // INTERFACEHDR
    case 0x0196:  // RRDINFO
    case 0x0138:  // RRDHEAD
      return true;
    default:
      return false;
  }
}

// One way of turning encrypted record bytes back into plain ones, positioned by stream offset.
class Decipher {
 public:
  virtual ~Decipher() = default;
  // Decrypts n bytes at stream offset pos, part of a record of record_size payload bytes;
  // calls come in increasing offset order.
  virtual void Apply(std::string& stream, std::size_t pos, std::size_t n,
                     std::size_t record_size) = 0;
};

// --- XOR obfuscation ---------------------------------------------------------------------

constexpr std::array<std::uint8_t, 15> kPadArray = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                                    0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
constexpr std::array<std::uint16_t, 15> kInitialCode = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                                        0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                                        0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr std::array<std::uint16_t, 105> kXorMatrix = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

// The password as the single bytes XOR obfuscation works on: at most 15, each UTF-16 unit
// given by its low byte, or its high byte when the low one is zero.
std::string XorPasswordBytes(const std::string& password) {
  std::string wide = crypto::Utf16Le(password);
  std::string bytes;
  for (std::size_t i = 0; i + 1 < wide.size() && bytes.size() < 15; i += 2) {
    char low = wide[i];
    bytes.push_back(low != 0 ? low : wide[i + 1]);
  }
  return bytes;
}

std::uint16_t XorKey(const std::string& pw) {
  if (pw.empty()) return 0;
  std::uint16_t key = kInitialCode[pw.size() - 1];
  std::size_t element = kXorMatrix.size();
  for (std::size_t i = pw.size(); i-- > 0;) {
    std::uint8_t ch = static_cast<std::uint8_t>(pw[i]);
    for (int bit = 0; bit < 7; ++bit) {
      --element;
      if (ch & 0x40) key ^= kXorMatrix[element];
      ch = static_cast<std::uint8_t>(ch << 1);
    }
  }
  return key;
}

std::uint16_t XorVerifier(const std::string& pw) {
  std::uint16_t verifier = 0;
  std::string bytes = std::string(1, static_cast<char>(pw.size())) + pw;
  for (std::size_t i = bytes.size(); i-- > 0;) {
    std::uint16_t high = (verifier & 0x4000) ? 1 : 0;
    verifier = static_cast<std::uint16_t>(((verifier << 1) & 0x7FFF) | high);
    verifier ^= static_cast<std::uint8_t>(bytes[i]);
  }
  return verifier ^ 0xCE4B;
}

std::uint8_t RotateRight(std::uint8_t v, int n) {
  return static_cast<std::uint8_t>((v >> n) | (v << (8 - n)));
}

class XorDecipher : public Decipher {
 public:
  explicit XorDecipher(const std::string& pw) {
    std::uint16_t key = XorKey(pw);
    for (std::size_t i = 0; i < 16; ++i) {
      std::uint8_t source =
          i < pw.size() ? static_cast<std::uint8_t>(pw[i]) : kPadArray[i - pw.size()];
      std::uint8_t key_byte =
          (i & 1) ? static_cast<std::uint8_t>(key >> 8) : static_cast<std::uint8_t>(key & 0xFF);
      array_[i] = RotateRight(source ^ key_byte, 1);
    }
  }
  void Apply(std::string& stream, std::size_t pos, std::size_t n,
             std::size_t record_size) override {
    for (std::size_t k = 0; k < n; ++k) {
      auto v = static_cast<std::uint8_t>(stream[pos + k]);
      v = RotateRight(v ^ array_[(pos + k + record_size) % 16], 5);
      stream[pos + k] = static_cast<char>(v);
    }
  }

 private:
  std::array<std::uint8_t, 16> array_{};
};

// --- RC4 and CryptoAPI RC4 -----------------------------------------------------------------

// The key stream restarts with a fresh key every 1024 bytes of stream offset.
class Rc4Decipher : public Decipher {
 public:
  using BlockKey = std::function<std::string(std::uint32_t block)>;
  explicit Rc4Decipher(BlockKey key) : key_(std::move(key)) {}

  void Apply(std::string& stream, std::size_t pos, std::size_t n, std::size_t) override {
    while (n > 0) {
      std::size_t block = pos / kRc4Block;
      std::size_t in_block = pos % kRc4Block;
      if (!rc4_ || block != block_ || in_block < at_) {
        rc4_ = std::make_unique<crypto::Rc4>(key_(static_cast<std::uint32_t>(block)));
        block_ = block;
        at_ = 0;
      }
      rc4_->Skip(in_block - at_);
      std::size_t step = std::min(n, kRc4Block - in_block);
      rc4_->Apply(stream.data() + pos, step);
      at_ = in_block + step;
      pos += step;
      n -= step;
    }
  }

 private:
  BlockKey key_;
  std::unique_ptr<crypto::Rc4> rc4_;
  std::size_t block_ = 0;
  std::size_t at_ = 0;
};

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
  return s;
}

// Decrypts verifier and its hash with the block-0 key, as one run of the key stream, and
// compares the hash.
bool VerifierMatches(const std::string& key, std::string verifier, std::string hash,
                     HashAlgorithm algorithm) {
  crypto::Rc4 rc4(key);
  rc4.Apply(verifier.data(), verifier.size());
  rc4.Apply(hash.data(), hash.size());
  std::string expected = crypto::Hash(algorithm, {verifier});
  return hash.size() <= expected.size() && expected.compare(0, hash.size(), hash) == 0;
}

struct Rc4Header {
  std::string salt, verifier, verifier_hash;
};

std::unique_ptr<Decipher> Rc4For(const Rc4Header& h, const std::string& password) {
  std::string first = crypto::Hash(HashAlgorithm::kMd5, {crypto::Utf16Le(password)}).substr(0, 5);
  std::string spread;
  for (int i = 0; i < 16; ++i) spread += first + h.salt;
  std::string base = crypto::Hash(HashAlgorithm::kMd5, {spread}).substr(0, 5);
  auto key = [base](std::uint32_t block) {
    return crypto::Hash(HashAlgorithm::kMd5, {base, Le32(block)});
  };
  if (!VerifierMatches(key(0), h.verifier, h.verifier_hash, HashAlgorithm::kMd5)) return nullptr;
  return std::make_unique<Rc4Decipher>(key);
}

std::unique_ptr<Decipher> CryptoApiFor(const CryptoApiHeader& h, const std::string& password) {
  std::string base = crypto::Hash(HashAlgorithm::kSha1, {h.salt, crypto::Utf16Le(password)});
  std::size_t key_bytes = (h.key_bits == 0 ? 40 : h.key_bits) / 8;
  auto key = [base, key_bytes](std::uint32_t block) {
    std::string k = crypto::Hash(HashAlgorithm::kSha1, {base, Le32(block)}).substr(0, key_bytes);
    // A 40-bit key is used as 128 bits, zero-padded.
    if (key_bytes == 5) k.resize(16, '\0');
    return k;
  };
  std::string hash = h.encrypted_verifier_hash.substr(0, h.verifier_hash_size);
  if (!VerifierMatches(key(0), h.encrypted_verifier, hash, HashAlgorithm::kSha1)) return nullptr;
  return std::make_unique<Rc4Decipher>(key);
}

[[noreturn]] void Unreadable(const std::string& method) {
  throw BookError(std::string(kEncrypted) + "（" + method + "）");
}

}  // namespace

bool DecryptBiffStream(std::string& stream, const std::string& path) {
  std::vector<RawRecord> records = SplitRecords(stream);
  std::size_t filepass = records.size();
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].id == kFilePassId) {
      filepass = i;
      break;
    }
    if (records[i].id == kEofId) break;
  }
  if (filepass == records.size()) return false;
  const RawRecord& fp = records[filepass];
  bool biff8 = !records.empty() && records[0].id == kBof8 && records[0].size >= 2 &&
               (U16At(stream, records[0].payload()) == 0x0600 ||
                (U16At(stream, records[0].payload()) == 0 && records[0].size >= 16));

  HeaderReader r(std::string_view(stream).substr(fp.payload(), fp.size), "FILEPASS");
  std::function<std::unique_ptr<Decipher>(const std::string&)> open;
  std::uint16_t type = biff8 ? r.U16() : 0;
  if (type == 0) {
    std::uint16_t key = r.U16();
    std::uint16_t verifier = r.U16();
    open = [key, verifier](const std::string& password) -> std::unique_ptr<Decipher> {
      std::string pw = XorPasswordBytes(password);
      if (XorKey(pw) != key || XorVerifier(pw) != verifier) return nullptr;
      return std::make_unique<XorDecipher>(pw);
    };
  } else if (type == 1) {
    std::uint16_t major = r.U16();
    std::uint16_t minor = r.U16();
    if (major == 1 && minor == 1) {
      Rc4Header h{std::string(r.Bytes(16)), std::string(r.Bytes(16)), std::string(r.Bytes(16))};
      open = [h](const std::string& password) { return Rc4For(h, password); };
    } else if (major >= 2 && major <= 4 && minor == 2) {
      CryptoApiHeader h = ReadCryptoApiHeader(r);
      if (h.alg_id != 0x6801) Unreadable("FILEPASS: CryptoAPI cipher " + biff::Hex(h.alg_id));
      if (h.hash_id != 0 && h.hash_id != 0x8004) {
        Unreadable("FILEPASS: CryptoAPI hash " + biff::Hex(h.hash_id));
      }
      std::uint32_t bits = h.key_bits == 0 ? 40 : h.key_bits;
      if (bits < 40 || bits > 128 || bits % 8 != 0) {
        Unreadable("FILEPASS: RC4 key of " + std::to_string(bits) + " bits");
      }
      open = [h](const std::string& password) { return CryptoApiFor(h, password); };
    } else {
      Unreadable("FILEPASS: RC4 version " + std::to_string(major) + "." + std::to_string(minor));
    }
  } else {
    Unreadable("FILEPASS: encryption type " + std::to_string(type));
  }

  std::unique_ptr<Decipher> decipher;
  TryWorkbookPasswords(path, [&](const std::string& password) {
    decipher = open(password);
    return decipher != nullptr;
  });

  for (std::size_t i = filepass + 1; i < records.size(); ++i) {
    const RawRecord& rec = records[i];
    if (StaysClear(rec.id)) continue;
    // A sheet's stream offset in BOUNDSHEET stays readable without the key.
    std::size_t skip = rec.id == kBoundSheetId ? std::min<std::size_t>(4, rec.size) : 0;
    if (rec.size > skip) {
      decipher->Apply(stream, rec.payload() + skip, rec.size - skip, rec.size);
    }
  }

  // Without FILEPASS the stream is a plain workbook; sheets behind it move up.
  const std::size_t removed = 4 + fp.size;
  for (const RawRecord& rec : records) {
    if (rec.id != kBoundSheetId || rec.size < 4 || rec.offset < fp.offset) continue;
    std::size_t at = rec.payload();
    std::uint32_t offset = static_cast<std::uint32_t>(U16At(stream, at)) |
                           (static_cast<std::uint32_t>(U16At(stream, at + 2)) << 16);
    if (offset <= fp.offset) continue;
    offset -= static_cast<std::uint32_t>(removed);
    for (int k = 0; k < 4; ++k)
      stream[at + static_cast<std::size_t>(k)] = static_cast<char>(offset >> (8 * k));
  }
  stream.erase(fp.offset, removed);
  return true;
}

}  // namespace ledgerix::engine
