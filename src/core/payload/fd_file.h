// A file opened through a C runtime descriptor, read at any offset. The payload's
// gzip stream is opened over a duplicate of the same descriptor.
#pragma once
#include <cstdint>
#include <string>

namespace inst {

class FdFile {
 public:
  FdFile() = default;
  // Opens read-only, in binary mode.
  static FdFile OpenForReading(const std::string& path);
  // Takes ownership of an open descriptor.
  static FdFile Adopt(int fd) { return FdFile(fd); }
  ~FdFile();
  FdFile(FdFile&& other) noexcept;
  FdFile& operator=(FdFile&& other) noexcept;
  FdFile(const FdFile&) = delete;
  FdFile& operator=(const FdFile&) = delete;

  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  [[nodiscard]] bool Seek(std::int64_t offset);
  // Seeks to `back` bytes before the end.
  [[nodiscard]] bool SeekFromEnd(std::int64_t back);
  // Bytes read (fewer at the end of the file), or -1 on failure.
  [[nodiscard]] long Read(void* buffer, std::size_t size);
  [[nodiscard]] std::int64_t Size();
  void Close();

 private:
  explicit FdFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// A new descriptor for the same open file, for a reader that closes its own.
int DuplicateDescriptor(int fd);

}  // namespace inst
