// SHA-256, which proves a downloaded installer the one the manifest names.
// setup.exe computes it with the system's cryptographic provider, the native tools
// with libcrypto.
#pragma once
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace inst {

using Sha256Digest = std::array<unsigned char, 32>;

class Sha256 {
 public:
  virtual ~Sha256() = default;
  virtual void Update(const void* data, std::size_t size) = 0;
  virtual Sha256Digest Final() = 0;
};

// The platform's implementation.
std::unique_ptr<Sha256> NewSha256();

// Lower-case hex, as the manifest writes it.
std::string Sha256Text(const Sha256Digest& digest);
// 64 hex digits, either case.
bool IsSha256Text(std::string_view text);

}  // namespace inst
