// The MD5 digest that proves an installer complete and unaltered. setup.exe computes
// it with the system's cryptographic provider, the native tools with libcrypto.
#pragma once
#include <array>
#include <cstddef>
#include <memory>

namespace inst {

using Md5Digest = std::array<unsigned char, 16>;

class Md5 {
 public:
  virtual ~Md5() = default;
  virtual void Update(const void* data, std::size_t size) = 0;
  virtual Md5Digest Final() = 0;
};

// The platform's implementation.
std::unique_ptr<Md5> NewMd5();

}  // namespace inst
