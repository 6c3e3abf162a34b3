#include "core/payload/payload_stream.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "core/payload/fd_file.h"

namespace inst {

namespace {

// The length of the gzip header at the start of `bytes`, or 0 when there is no
// complete one.
std::size_t GzipHeaderSize(const unsigned char* bytes, std::size_t size) {
  constexpr unsigned char kHeaderCrc = 2, kExtra = 4, kName = 8, kComment = 16;
  if (size < 10 || bytes[0] != 0x1f || bytes[1] != 0x8b || bytes[2] != Z_DEFLATED) return 0;
  const unsigned char flags = bytes[3];
  std::size_t at = 10;
  if (flags & kExtra) {
    if (at + 2 > size) return 0;
    at += 2 + (bytes[at] | (static_cast<std::size_t>(bytes[at + 1]) << 8));
  }
  for (const unsigned char text : {kName, kComment}) {
    if (!(flags & text)) continue;
    while (at < size && bytes[at] != 0) ++at;
    ++at;  // the terminating zero
  }
  if (flags & kHeaderCrc) at += 2;
  return at <= size ? at : 0;
}

// The gzip member read with zlib's raw inflate straight from the descriptor: no gz
// layer, whose buffering and compression half the stub does not need. The member's
// CRC is not computed: the payload's digest has proved every byte before it is read.
class InflateStream final : public PayloadStream {
 public:
  explicit InflateStream(FdFile file) : file_(std::move(file)), input_(kInputBlock), pending_(kPendingBlock) {}
  ~InflateStream() override {
    if (started_) inflateEnd(&stream_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  // Reads the gzip header; false when there is none.
  bool Start() {
    const long got = file_.Read(input_.data(), input_.size());
    if (got <= 0) return false;
    const std::size_t start = GzipHeaderSize(input_.data(), static_cast<std::size_t>(got));
    if (start == 0) return false;
    started_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
    stream_.next_in = input_.data() + start;
    stream_.avail_in = static_cast<uInt>(static_cast<std::size_t>(got) - start);
    return started_;
  }

  int ReadByte() override {
    if (pending_at_ == pending_size_) {
      const long got = Inflate(pending_.data(), pending_.size());
      if (got <= 0) return -1;
      pending_at_ = 0;
      pending_size_ = static_cast<std::size_t>(got);
    }
    return pending_[pending_at_++];
  }

  long Read(void* buffer, std::size_t size) override {
    auto* out = static_cast<unsigned char*>(buffer);
    const std::size_t held = std::min(size, pending_size_ - pending_at_);
    std::memcpy(out, pending_.data() + pending_at_, held);
    pending_at_ += held;
    if (held == size) return static_cast<long>(held);
    const long got = Inflate(out + held, size - held);
    if (got < 0) return held > 0 ? static_cast<long>(held) : -1;
    return static_cast<long>(held) + got;
  }

 private:
  static constexpr std::size_t kInputBlock = 128 * 1024;
  static constexpr std::size_t kPendingBlock = 16 * 1024;

  // Fills `out` unless the member ends; a fault (bad data, a file that ends before
  // the member does) is reported once what was inflated before it has been read.
  long Inflate(unsigned char* out, std::size_t size) {
    if (fault_) return -1;
    if (ended_ || size == 0) return 0;
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
    const uInt wanted = stream_.avail_out;
    while (stream_.avail_out > 0) {
      if (stream_.avail_in == 0) {
        const long got = file_.Read(input_.data(), input_.size());
        if (got <= 0) {
          fault_ = true;
          break;
        }
        stream_.next_in = input_.data();
        stream_.avail_in = static_cast<uInt>(got);
      }
      const int status = inflate(&stream_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        ended_ = true;
        break;
      }
      if (status != Z_OK && status != Z_BUF_ERROR) {
        fault_ = true;
        break;
      }
    }
    const uInt produced = wanted - stream_.avail_out;
    if (produced == 0 && fault_) return -1;
    return static_cast<long>(produced);
  }

  FdFile file_;
  z_stream stream_{};
  bool started_ = false;
  bool ended_ = false;
  bool fault_ = false;
  std::vector<unsigned char> input_;
  std::vector<unsigned char> pending_;
  std::size_t pending_at_ = 0;
  std::size_t pending_size_ = 0;
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
  auto stream = std::make_unique<InflateStream>(FdFile::Adopt(copy));
  if (!stream->Start()) return nullptr;
  return stream;
}

std::unique_ptr<PayloadStream> OpenMemoryStream(std::string bytes) {
  return std::make_unique<MemoryStream>(std::move(bytes));
}

}  // namespace inst
