// MD5 and SHA-256 for setup.exe, from the system's cryptographic provider: no
// library of our own, so the stub stays one self-contained file.
#include <windows.h>
#include <wincrypt.h>

#include "core/install/sha256.h"
#include "core/payload/md5.h"
#include "win/handles.h"

namespace inst {

namespace {

// One hash of the provider type that offers the algorithm. Without a provider the
// digest stays zero, which no stored digest matches but by chance: the data is then
// reported wrong rather than trusted.
template <typename Interface, typename Digest, DWORD kProviderType, ALG_ID kAlgorithm>
class CryptoApiHash final : public Interface {
 public:
  CryptoApiHash() {
    if (!CryptAcquireContextA(provider_.put(), nullptr, nullptr, kProviderType, CRYPT_VERIFYCONTEXT)) {
      provider_.release();  // a failed call leaves no provider to release
      return;
    }
    if (!CryptCreateHash(provider_.get(), kAlgorithm, 0, 0, hash_.put())) hash_.release();
  }

  void Update(const void* data, std::size_t size) override {
    if (hash_) CryptHashData(hash_.get(), static_cast<const BYTE*>(data), static_cast<DWORD>(size), 0);
  }
  Digest Final() override {
    Digest digest{};
    DWORD length = static_cast<DWORD>(digest.size());
    if (hash_) CryptGetHashParam(hash_.get(), HP_HASHVAL, digest.data(), &length, 0);
    return digest;
  }

 private:
  // Declared first, released last: the hash belongs to the provider.
  win::CryptProvider provider_;
  win::CryptHash hash_;
};

}  // namespace

std::unique_ptr<Md5> NewMd5() { return std::make_unique<CryptoApiHash<Md5, Md5Digest, PROV_RSA_FULL, CALG_MD5>>(); }

std::unique_ptr<Sha256> NewSha256() {
  return std::make_unique<CryptoApiHash<Sha256, Sha256Digest, PROV_RSA_AES, CALG_SHA_256>>();
}

}  // namespace inst
