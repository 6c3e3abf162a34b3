// MD5 and SHA-256 for setup.exe, from the system's cryptographic provider: no
// library of our own, so the stub stays one self-contained file.
#include <windows.h>
#include <wincrypt.h>

#include "core/install/sha256.h"
#include "core/payload/md5.h"

namespace inst {

namespace {

// One hash of the provider type that offers the algorithm. Without a provider the
// digest stays zero, which no stored digest matches but by chance: the data is then
// reported wrong rather than trusted.
template <typename Interface, typename Digest, DWORD kProviderType, ALG_ID kAlgorithm>
class CryptoApiHash final : public Interface {
 public:
  CryptoApiHash() {
    if (CryptAcquireContextA(&provider_, nullptr, nullptr, kProviderType, CRYPT_VERIFYCONTEXT)) {
      if (!CryptCreateHash(provider_, kAlgorithm, 0, 0, &hash_)) hash_ = 0;
    } else {
      provider_ = 0;
    }
  }
  ~CryptoApiHash() override {
    if (hash_) CryptDestroyHash(hash_);
    if (provider_) CryptReleaseContext(provider_, 0);
  }
  CryptoApiHash(const CryptoApiHash&) = delete;
  CryptoApiHash& operator=(const CryptoApiHash&) = delete;

  void Update(const void* data, std::size_t size) override {
    if (hash_) CryptHashData(hash_, static_cast<const BYTE*>(data), static_cast<DWORD>(size), 0);
  }
  Digest Final() override {
    Digest digest{};
    DWORD length = static_cast<DWORD>(digest.size());
    if (hash_) CryptGetHashParam(hash_, HP_HASHVAL, digest.data(), &length, 0);
    return digest;
  }

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
};

}  // namespace

std::unique_ptr<Md5> NewMd5() { return std::make_unique<CryptoApiHash<Md5, Md5Digest, PROV_RSA_FULL, CALG_MD5>>(); }

std::unique_ptr<Sha256> NewSha256() {
  return std::make_unique<CryptoApiHash<Sha256, Sha256Digest, PROV_RSA_AES, CALG_SHA_256>>();
}

}  // namespace inst
