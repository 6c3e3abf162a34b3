// The floors of the install benchmark: a bare program (C runtime, kernel32 and
// zlib only) that writes a product's folders and files from one blob, and nothing
// else: no digest, no registry. From an uncompressed blob, what any installer on this
// system pays; from a gzip member of it (a BLOB named *.gz), inflated as it is
// written, what any reader of a payload that is one gzip member pays.
//
//   floor_writer.exe BLOB DESTINATION
//
// The blob is a list of records: a 32-bit name length, the name (relative, with
// backslashes), a 32-bit size (0xFFFFFFFF for a folder), then that many bytes.
// Prints "start-up=SECONDS" and "writing=SECONDS" to standard output.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

constexpr std::uint32_t kFolder = 0xFFFFFFFF;
constexpr std::size_t kChunk = 1 << 16;

class BlobReader {
 public:
  BlobReader(HANDLE file, bool gzip) : file_(file), gzip_(gzip), buffer_(kChunk), packed_(gzip ? kChunk : 0) {
    if (gzip_) inflateInit2(&stream_, 16 + MAX_WBITS);
  }
  ~BlobReader() {
    if (gzip_) inflateEnd(&stream_);
  }
  // Copies `size` bytes out of the blob into `out`; false at its end.
  bool Read(void* out, std::size_t size) {
    char* to = static_cast<char*>(out);
    while (size > 0) {
      if (position_ == end_ && !Fill()) return false;
      const std::size_t n = std::min(size, end_ - position_);
      std::memcpy(to, buffer_.data() + position_, n);
      position_ += n;
      to += n;
      size -= n;
    }
    return true;
  }
  // Hands `size` bytes to `write` in the pieces the buffer holds.
  template <typename Write>
  bool Pass(std::uint32_t size, Write write) {
    while (size > 0) {
      if (position_ == end_ && !Fill()) return false;
      const std::size_t n = std::min<std::size_t>(size, end_ - position_);
      if (!write(buffer_.data() + position_, n)) return false;
      position_ += n;
      size -= static_cast<std::uint32_t>(n);
    }
    return true;
  }

 private:
  bool Fill() {
    if (gzip_) return Inflate();
    DWORD got = 0;
    if (!ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr) || got == 0) return false;
    position_ = 0;
    end_ = got;
    return true;
  }
  bool Inflate() {
    stream_.next_out = reinterpret_cast<Bytef*>(buffer_.data());
    stream_.avail_out = static_cast<uInt>(buffer_.size());
    while (stream_.avail_out == buffer_.size()) {
      if (stream_.avail_in == 0) {
        DWORD got = 0;
        if (!ReadFile(file_, packed_.data(), static_cast<DWORD>(packed_.size()), &got, nullptr) || got == 0)
          return false;
        stream_.next_in = reinterpret_cast<Bytef*>(packed_.data());
        stream_.avail_in = got;
      }
      const int result = inflate(&stream_, Z_NO_FLUSH);
      if (result != Z_OK && result != Z_STREAM_END) return false;
      if (result == Z_STREAM_END) break;
    }
    position_ = 0;
    end_ = buffer_.size() - stream_.avail_out;
    return end_ > 0;
  }
  HANDLE file_;
  bool gzip_;
  z_stream stream_{};
  std::vector<char> buffer_, packed_;
  std::size_t position_ = 0, end_ = 0;
};

double Seconds(const LARGE_INTEGER& from) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double SecondsSinceCreation() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](const FILETIME& t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(now) - ticks(created)) / 1e7;
}

}  // namespace

int main(int argc, char** argv) {
  const double start_up = SecondsSinceCreation();
  LARGE_INTEGER started;
  QueryPerformanceCounter(&started);
  if (argc != 3) return 2;
  HANDLE blob =
      CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (blob == INVALID_HANDLE_VALUE) return 3;
  const std::string root = argv[2];
  CreateDirectoryA(root.c_str(), nullptr);
  const std::string blob_name = argv[1];
  BlobReader reader(blob, blob_name.size() > 3 && blob_name.compare(blob_name.size() - 3, 3, ".gz") == 0);
  std::uint32_t length = 0, size = 0;
  while (reader.Read(&length, sizeof length)) {
    std::string name(length, '\0');
    if (!reader.Read(name.data(), length) || !reader.Read(&size, sizeof size)) return 4;
    const std::string path = root + "\\" + name;
    if (size == kFolder) {
      if (!CreateDirectoryA(path.c_str(), nullptr)) return 5;
      continue;
    }
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 6;
    const bool written = reader.Pass(size, [&](const char* data, std::size_t n) {
      DWORD done = 0;
      return WriteFile(out, data, static_cast<DWORD>(n), &done, nullptr) && done == n;
    });
    CloseHandle(out);
    if (!written) return 7;
  }
  CloseHandle(blob);
  std::printf("start-up=%.4f\nwriting=%.4f\n", start_up, Seconds(started));
  return 0;
}
