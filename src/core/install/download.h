// Everything about a download except the transport: reading the address, naming
// the saved file, measuring the rate, moving the bytes and judging the result.
// setup.exe moves the bytes with WinINet; tests feed them from memory.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/install/sha256.h"
#include "core/support/os.h"

namespace inst {

enum class UrlScheme { kHttp, kHttps, kFtp };

struct UrlParts {
  UrlScheme scheme = UrlScheme::kHttp;
  std::string host;
  std::uint16_t port = 0;  // from the address, else the scheme's own
  std::string object;      // from the '/' after the host on
  std::string file_name;   // after the last '/'; empty when the address ends with one
};

// The parts of an address, or the message that refuses it. Schemes are matched
// exactly, in lower case.
struct ParsedUrl {
  std::optional<UrlParts> parts;
  const char* error = nullptr;
};
ParsedUrl ParseUrl(std::string_view url);

// An installer source that names a server (any letter case of the scheme).
bool IsUrl(std::string_view source);

// The quoted name after filename=" in a Content-Disposition header, if any.
std::optional<std::string> ContentDispositionName(std::string_view header);

// The log's rate line ("\r" first, so it replaces the previous one).
std::string RateLine(std::string_view name, std::uint32_t bytes_per_second, int percent);

// The bar and the rate line of one download; a new download starts a new one.
class DownloadRate {
 public:
  struct Step {
    int percent = 0;
    std::optional<std::string> line;  // at most one per three seconds
  };
  Step Update(std::uint32_t received, std::uint32_t total, std::int64_t now_seconds, std::string_view name);

 private:
  std::optional<std::int64_t> reference_time_;
  std::uint32_t reference_count_ = 0;
};

// The body of a response, read in turn.
class DownloadStream {
 public:
  virtual ~DownloadStream() = default;
  // Bytes read, 0 at the end, negative on a fault.
  virtual long Read(void* buffer, std::size_t size) = 0;
};

inline constexpr std::size_t kDownloadBlock = 16384;

struct TransferResult {
  std::uint64_t received = 0;
  bool read_fault = false;
  bool write_fault = false;
  // Every byte announced arrived and was written.
  bool Complete(std::uint32_t total) const { return !read_fault && !write_fault && received >= total; }
};

// Streams the body to the file block by block, feeding the digest when one is
// given. Progress is reported only when the total is known (not 0).
TransferResult TransferDownload(DownloadStream& in, OutputFile& out, std::uint32_t total,
                                const std::function<void(std::uint32_t, std::uint32_t)>& progress, Sha256* digest);

}  // namespace inst
