// The payload stream: the decompressed gzip member, read strictly forward.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace inst {

class PayloadStream {
 public:
  virtual ~PayloadStream() = default;
  // The next byte, or -1 at the end of the stream or on a fault.
  [[nodiscard]] virtual int ReadByte() = 0;
  // Up to `size` bytes; 0 at the end, negative on a fault.
  [[nodiscard]] virtual long Read(void* buffer, std::size_t size) = 0;
};

// A gzip reader over a duplicate of `fd`, starting at the descriptor's current
// position. No result when the stream cannot be opened.
std::unique_ptr<PayloadStream> OpenGzipStream(int fd);

// A stream over bytes held in memory (for tests and for the builder's checks).
std::unique_ptr<PayloadStream> OpenMemoryStream(std::string bytes);

}  // namespace inst
