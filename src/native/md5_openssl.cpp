// MD5 for the native tools, from libcrypto.
#include <openssl/evp.h>

#include <stdexcept>

#include "core/payload/md5.h"

namespace inst {

namespace {

class OpensslMd5 final : public Md5 {
 public:
  OpensslMd5() : context_(EVP_MD_CTX_new()) {
    if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_md5(), nullptr) != 1) {
      throw std::runtime_error("MD5 is not available");
    }
  }
  ~OpensslMd5() override { EVP_MD_CTX_free(context_); }
  OpensslMd5(const OpensslMd5&) = delete;
  OpensslMd5& operator=(const OpensslMd5&) = delete;

  void Update(const void* data, std::size_t size) override { EVP_DigestUpdate(context_, data, size); }
  Md5Digest Final() override {
    Md5Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_, digest.data(), &length);
    return digest;
  }

 private:
  EVP_MD_CTX* context_;
};

}  // namespace

std::unique_ptr<Md5> NewMd5() { return std::make_unique<OpensslMd5>(); }

}  // namespace inst
