#include "engine/decrypt_primitives.h"

#include <nettle/aes.h>
#include <nettle/arcfour.h>
#include <nettle/arctwo.h>
#include <nettle/cbc.h>
#include <nettle/des.h>
#include <nettle/hmac.h>
#include <nettle/nettle-meta.h>

#include <vector>

#include "bridges/utf8.h"

namespace ledgerix::engine::crypto {
namespace {

const nettle_hash& Meta(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::kMd5:
      return nettle_md5;
    case HashAlgorithm::kSha1:
      return nettle_sha1;
    case HashAlgorithm::kSha256:
      return nettle_sha256;
    case HashAlgorithm::kSha384:
      return nettle_sha384;
    case HashAlgorithm::kSha512:
      return nettle_sha512;
  }
  return nettle_sha1;
}

const std::uint8_t* Bytes(std::string_view s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Runs the block function of a keyed context over data, in CBC mode when iv is given.
template <class Ctx>
std::string Run(const Ctx& ctx, nettle_cipher_func* f, std::size_t block, std::string_view iv,
                std::string_view data) {
  std::string out(data.size(), '\0');
  auto* dst = reinterpret_cast<std::uint8_t*>(out.data());
  if (iv.empty()) {
    f(&ctx, data.size(), dst, Bytes(data));
  } else {
    std::vector<std::uint8_t> chain(Bytes(iv), Bytes(iv) + block);
    cbc_decrypt(&ctx, f, block, chain.data(), data.size(), dst, Bytes(data));
  }
  return out;
}

}  // namespace

std::size_t DigestSize(HashAlgorithm algorithm) { return Meta(algorithm).digest_size; }

std::string Hash(HashAlgorithm algorithm, std::initializer_list<std::string_view> parts) {
  const nettle_hash& h = Meta(algorithm);
  std::vector<std::uint8_t> ctx(h.context_size);
  h.init(ctx.data());
  for (std::string_view part : parts) h.update(ctx.data(), part.size(), Bytes(part));
  std::string digest(h.digest_size, '\0');
  h.digest(ctx.data(), h.digest_size, reinterpret_cast<std::uint8_t*>(digest.data()));
  return digest;
}

std::string Hmac(HashAlgorithm algorithm, std::string_view key, std::string_view data) {
  const nettle_hash& h = Meta(algorithm);
  std::vector<std::uint8_t> outer(h.context_size), inner(h.context_size), state(h.context_size);
  hmac_set_key(outer.data(), inner.data(), state.data(), &h, key.size(), Bytes(key));
  hmac_update(state.data(), &h, data.size(), Bytes(data));
  std::string digest(h.digest_size, '\0');
  hmac_digest(outer.data(), inner.data(), state.data(), &h, h.digest_size,
              reinterpret_cast<std::uint8_t*>(digest.data()));
  return digest;
}

struct Rc4::State {
  arcfour_ctx ctx;
};

Rc4::Rc4(std::string_view key) : state_(new State) {
  arcfour_set_key(&state_->ctx, key.size(), Bytes(key));
}

Rc4::~Rc4() { delete state_; }

void Rc4::Apply(char* data, std::size_t n) {
  auto* p = reinterpret_cast<std::uint8_t*>(data);
  arcfour_crypt(&state_->ctx, n, p, p);
}

void Rc4::Skip(std::size_t n) {
  std::uint8_t scratch[256];
  while (n > 0) {
    std::size_t step = n < sizeof scratch ? n : sizeof scratch;
    arcfour_crypt(&state_->ctx, step, scratch, scratch);
    n -= step;
  }
}

std::size_t BlockSize(CipherAlgorithm algorithm) {
  return algorithm == CipherAlgorithm::kAes ? AES_BLOCK_SIZE : DES_BLOCK_SIZE;
}

bool AcceptsKeySize(CipherAlgorithm algorithm, std::size_t key_bytes) {
  switch (algorithm) {
    case CipherAlgorithm::kAes:
      return key_bytes == 16 || key_bytes == 24 || key_bytes == 32;
    case CipherAlgorithm::kDes:
      return key_bytes == DES_KEY_SIZE;
    case CipherAlgorithm::kDes3:
      return key_bytes == DES3_KEY_SIZE;
    case CipherAlgorithm::kRc2:
      return key_bytes >= ARCTWO_MIN_KEY_SIZE && key_bytes <= ARCTWO_MAX_KEY_SIZE;
  }
  return false;
}

std::string BlockDecrypt(CipherAlgorithm algorithm, std::string_view key, std::string_view iv,
                         std::string_view data) {
  const std::size_t block = BlockSize(algorithm);
  switch (algorithm) {
    case CipherAlgorithm::kAes:
      if (key.size() == 16) {
        aes128_ctx ctx;
        aes128_set_decrypt_key(&ctx, Bytes(key));
        return Run(ctx, reinterpret_cast<nettle_cipher_func*>(aes128_decrypt), block, iv, data);
      }
      if (key.size() == 24) {
        aes192_ctx ctx;
        aes192_set_decrypt_key(&ctx, Bytes(key));
        return Run(ctx, reinterpret_cast<nettle_cipher_func*>(aes192_decrypt), block, iv, data);
      } else {
        aes256_ctx ctx;
        aes256_set_decrypt_key(&ctx, Bytes(key));
        return Run(ctx, reinterpret_cast<nettle_cipher_func*>(aes256_decrypt), block, iv, data);
      }
    case CipherAlgorithm::kDes: {
      des_ctx ctx;
      des_set_key(&ctx, Bytes(key));  // false only for weak keys, which still decrypt
      return Run(ctx, reinterpret_cast<nettle_cipher_func*>(des_decrypt), block, iv, data);
    }
    case CipherAlgorithm::kDes3: {
      des3_ctx ctx;
      des3_set_key(&ctx, Bytes(key));
      return Run(ctx, reinterpret_cast<nettle_cipher_func*>(des3_decrypt), block, iv, data);
    }
    case CipherAlgorithm::kRc2: {
      arctwo_ctx ctx;
      arctwo_set_key(&ctx, key.size(), Bytes(key));
      return Run(ctx, reinterpret_cast<nettle_cipher_func*>(arctwo_decrypt), block, iv, data);
    }
  }
  return {};
}

std::string Utf16Le(std::string_view utf8) {
  std::string out;
  auto put = [&out](char16_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  };
  if (IsValidUtf8(utf8)) {
    for (char16_t unit : Utf8ToUtf16(utf8)) put(unit);
  } else {
    for (char c : utf8) put(static_cast<unsigned char>(c));
  }
  return out;
}

}  // namespace ledgerix::engine::crypto
