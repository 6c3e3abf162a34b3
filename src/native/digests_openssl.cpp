// MD5 and SHA-256 for the native tools, from libcrypto.
#include <openssl/evp.h>

#include <stdexcept>

#include "core/install/sha256.h"
#include "core/payload/md5.h"

namespace inst {

namespace {

template <typename Interface, typename Digest>
class OpensslHash final : public Interface {
 public:
  explicit OpensslHash(const EVP_MD* algorithm) : context_(EVP_MD_CTX_new()) {
    if (context_ == nullptr || EVP_DigestInit_ex(context_, algorithm, nullptr) != 1) {
      EVP_MD_CTX_free(context_);
      throw std::runtime_error("digest algorithm not available");
    }
  }
  ~OpensslHash() override { EVP_MD_CTX_free(context_); }
  OpensslHash(const OpensslHash&) = delete;
  OpensslHash& operator=(const OpensslHash&) = delete;

  void Update(const void* data, std::size_t size) override { EVP_DigestUpdate(context_, data, size); }
  Digest Final() override {
    Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_, digest.data(), &length);
    return digest;
  }

 private:
  EVP_MD_CTX* context_;
};

}  // namespace

std::unique_ptr<Md5> NewMd5() { return std::make_unique<OpensslHash<Md5, Md5Digest>>(EVP_md5()); }
std::unique_ptr<Sha256> NewSha256() { return std::make_unique<OpensslHash<Sha256, Sha256Digest>>(EVP_sha256()); }

}  // namespace inst
