#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <thread>

#include "signing.h"

namespace mkinstaller {

struct BuildOptions {
  std::filesystem::path stub;
  std::filesystem::path manifest;
  std::filesystem::path root;
  std::filesystem::path output;
  std::optional<std::uint16_t> referral;
  // Signs the finished installer; cannot go with a referral trailer.
  std::optional<SigningOptions> signing;
  int level = 6;
  // Compressing threads; the output does not depend on them.
  unsigned threads = std::thread::hardware_concurrency();
  bool show_progress = false;
};

struct BuildSummary {
  std::uint64_t output_bytes = 0;
  std::size_t files = 0;
  std::size_t components = 0;
  std::uint64_t product_bytes = 0;     // manifest, resources and files as given
  std::uint64_t compressed_bytes = 0;  // the gzip member that carries them
};

// Writes the installer; on any fault throws ToolError and leaves no output file.
BuildSummary BuildInstaller(const BuildOptions& options);

// Throws ToolError unless `bytes` (the start of the file at `path`, or all of it)
// is an installer stub: a Windows program long enough to carry its signature.
void CheckStub(const std::filesystem::path& path, std::string_view bytes, std::uint64_t file_size);

}  // namespace mkinstaller
