#include "core/install/download.h"

#include <vector>

#include "core/support/text.h"

namespace inst {

namespace {

struct SchemeInfo {
  std::string_view prefix;
  UrlScheme scheme;
  std::uint16_t port;
};
constexpr SchemeInfo kSchemes[] = {
    {"ftp://", UrlScheme::kFtp, 21}, {"http://", UrlScheme::kHttp, 80}, {"https://", UrlScheme::kHttps, 443}};

}  // namespace

ParsedUrl ParseUrl(std::string_view url) {
  const SchemeInfo* scheme = nullptr;
  for (const SchemeInfo& candidate : kSchemes)
    if (url.starts_with(candidate.prefix)) scheme = &candidate;
  if (scheme == nullptr) return {std::nullopt, "Must start with http:// or ftp://"};
  const std::string_view rest = url.substr(scheme->prefix.size());
  const auto slash = rest.find('/');
  if (slash == std::string_view::npos) return {std::nullopt, "No host part\n"};
  UrlParts parts;
  parts.scheme = scheme->scheme;
  parts.port = scheme->port;
  parts.host = std::string(rest.substr(0, slash));
  // A port after the host is honoured; the host name alone goes to the connection.
  if (const auto colon = parts.host.rfind(':'); colon != std::string::npos) {
    const std::string_view digits = std::string_view(parts.host).substr(colon + 1);
    unsigned long port = 0;
    bool valid = !digits.empty() && digits.size() <= 5;
    for (char c : digits) {
      valid = valid && c >= '0' && c <= '9';
      port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    if (!valid || port == 0 || port > 65535) return {std::nullopt, "No host part\n"};
    parts.port = static_cast<std::uint16_t>(port);
    parts.host.resize(colon);
  }
  if (parts.host.empty()) return {std::nullopt, "No host part\n"};
  parts.object = std::string(rest.substr(slash));
  parts.file_name = std::string(url.substr(url.rfind('/') + 1));
  return {std::move(parts), nullptr};
}

bool IsUrl(std::string_view source) {
  for (const SchemeInfo& scheme : kSchemes)
    if (StartsWithIgnoreCase(source, scheme.prefix)) return true;
  return false;
}

std::optional<std::string> ContentDispositionName(std::string_view header) {
  constexpr std::string_view kKey = "filename=\"";
  const auto at = header.find(kKey);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view rest = header.substr(at + kKey.size());
  return std::string(rest.substr(0, rest.find('"')));
}

std::string RateLine(std::string_view name, std::uint32_t rate, int percent) {
  constexpr std::size_t kMaxLine = 199;
  const std::string shown(name);
  std::string line;
  if (rate <= 1023) {
    line = FormatText("\r%s %u bytes/second (%d%% complete)", shown.c_str(), rate, percent);
  } else if (rate <= 1048575) {
    line = FormatText("\r%s %.2f kilobytes/second (%d%% complete)", shown.c_str(), rate * 0.0009765625, percent);
  } else {
    line =
        FormatText("\r%s %.2f megabytes/second (%d%% complete)", shown.c_str(), rate * 0.00000095367431640625, percent);
  }
  if (line.size() > kMaxLine) line.resize(kMaxLine);
  return line;
}

DownloadRate::Step DownloadRate::Update(std::uint32_t received, std::uint32_t total, std::int64_t now,
                                        std::string_view name) {
  Step step;
  step.percent = total == 0 ? 0 : static_cast<int>(100.0 * received / total);
  if (!reference_time_) reference_time_ = now;
  if (now - *reference_time_ > 2) {
    const auto elapsed = static_cast<std::uint32_t>(now - *reference_time_);
    step.line = RateLine(name, (received - reference_count_) / elapsed, step.percent);
    reference_time_ = now;
    reference_count_ = received;
  }
  return step;
}

TransferResult TransferDownload(DownloadStream& in, OutputFile& out, std::uint32_t total,
                                const std::function<void(std::uint32_t, std::uint32_t)>& progress, Sha256* digest) {
  TransferResult result;
  std::vector<unsigned char> block(kDownloadBlock);
  for (;;) {
    const long got = in.Read(block.data(), block.size());
    if (got < 0) {
      result.read_fault = true;
      break;
    }
    if (got == 0) break;
    if (!out.Write(block.data(), static_cast<std::size_t>(got))) {
      result.write_fault = true;
      break;
    }
    if (digest) digest->Update(block.data(), static_cast<std::size_t>(got));
    result.received += static_cast<std::uint64_t>(got);
    if (progress && total != 0) progress(static_cast<std::uint32_t>(result.received), total);
  }
  return result;
}

}  // namespace inst
