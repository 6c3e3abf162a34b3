// MD5 for setup.exe, from the system's cryptographic provider: no library of our
// own, so the stub stays one self-contained file.
#include <windows.h>
#include <wincrypt.h>

#include "core/payload/md5.h"

namespace inst {

namespace {

class CryptoApiMd5 final : public Md5 {
 public:
  CryptoApiMd5() {
    if (CryptAcquireContextA(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
      if (!CryptCreateHash(provider_, CALG_MD5, 0, 0, &hash_)) hash_ = 0;
    } else {
      provider_ = 0;
    }
  }
  ~CryptoApiMd5() override {
    if (hash_) CryptDestroyHash(hash_);
    if (provider_) CryptReleaseContext(provider_, 0);
  }
  CryptoApiMd5(const CryptoApiMd5&) = delete;
  CryptoApiMd5& operator=(const CryptoApiMd5&) = delete;

  void Update(const void* data, std::size_t size) override {
    if (hash_) CryptHashData(hash_, static_cast<const BYTE*>(data), static_cast<DWORD>(size), 0);
  }
  // Without a provider the digest stays zero, which no stored digest matches but by
  // chance: the file is then reported corrupt rather than trusted.
  Md5Digest Final() override {
    Md5Digest digest{};
    DWORD length = static_cast<DWORD>(digest.size());
    if (hash_) CryptGetHashParam(hash_, HP_HASHVAL, digest.data(), &length, 0);
    return digest;
  }

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
};

}  // namespace

std::unique_ptr<Md5> NewMd5() { return std::make_unique<CryptoApiMd5>(); }

}  // namespace inst
