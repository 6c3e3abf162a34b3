#include "core/payload/payload_stream.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/payload/fd_file.h"

namespace inst {

namespace {

class GzipStream final : public PayloadStream {
 public:
  explicit GzipStream(gzFile file) : file_(file) {}
  ~GzipStream() override { gzclose(file_); }
  int ReadByte() override { return gzgetc(file_); }
  long Read(void* buffer, std::size_t size) override {
    return gzread(file_, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
  }

 private:
  gzFile file_;
};

class MemoryStream final : public PayloadStream {
 public:
  explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}
  int ReadByte() override { return pos_ < bytes_.size() ? static_cast<unsigned char>(bytes_[pos_++]) : -1; }
  long Read(void* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<PayloadStream> OpenGzipStream(int fd) {
  const int copy = DuplicateDescriptor(fd);
  if (copy < 0) return nullptr;
  gzFile file = gzdopen(copy, "rb");
  if (file == nullptr) {
    FdFile::Adopt(copy);  // gzdopen failed: the duplicate is still ours to close
    return nullptr;
  }
  gzbuffer(file, 128 * 1024);
  return std::make_unique<GzipStream>(file);
}

std::unique_ptr<PayloadStream> OpenMemoryStream(std::string bytes) {
  return std::make_unique<MemoryStream>(std::move(bytes));
}

}  // namespace inst
