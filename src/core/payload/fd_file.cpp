#include "core/payload/fd_file.h"

#include <fcntl.h>

#include <utility>

#ifdef _WIN32
#include <io.h>
#define INST_OPEN ::_open
#define INST_CLOSE ::_close
#define INST_READ(fd, b, n) ::_read(fd, b, static_cast<unsigned>(n))
#define INST_SEEK ::_lseeki64
#define INST_DUP ::_dup
#else
#include <unistd.h>
#define INST_OPEN ::open
#define INST_CLOSE ::close
#define INST_READ(fd, b, n) ::read(fd, b, n)
#define INST_SEEK ::lseek
#define INST_DUP ::dup
#ifndef O_BINARY
#define O_BINARY 0
#endif
#endif

namespace inst {

FdFile FdFile::OpenForReading(const std::string& path) { return FdFile(INST_OPEN(path.c_str(), O_RDONLY | O_BINARY)); }

FdFile::~FdFile() { Close(); }

FdFile::FdFile(FdFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FdFile& FdFile::operator=(FdFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void FdFile::Close() {
  if (fd_ >= 0) INST_CLOSE(fd_);
  fd_ = -1;
}

bool FdFile::Seek(std::int64_t offset) { return fd_ >= 0 && INST_SEEK(fd_, offset, SEEK_SET) == offset; }

bool FdFile::SeekFromEnd(std::int64_t back) { return fd_ >= 0 && INST_SEEK(fd_, -back, SEEK_END) >= 0; }

long FdFile::Read(void* buffer, std::size_t size) {
  if (fd_ < 0) return -1;
  // One call may return less than asked before the end; keep reading until the end.
  std::size_t total = 0;
  auto* out = static_cast<char*>(buffer);
  while (total < size) {
    const auto got = INST_READ(fd_, out + total, size - total);
    if (got < 0) return total > 0 ? static_cast<long>(total) : -1;
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return static_cast<long>(total);
}

std::int64_t FdFile::Size() {
  if (fd_ < 0) return -1;
  const auto here = INST_SEEK(fd_, 0, SEEK_CUR);
  const auto end = INST_SEEK(fd_, 0, SEEK_END);
  INST_SEEK(fd_, here, SEEK_SET);
  return end;
}

int DuplicateDescriptor(int fd) { return INST_DUP(fd); }

}  // namespace inst
