#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>

namespace mkinstaller {

struct BuildOptions {
  std::filesystem::path stub;
  std::filesystem::path manifest;
  std::filesystem::path root;
  std::filesystem::path output;
  std::optional<std::uint16_t> referral;
  int level = 6;
  bool show_progress = false;
};

// Writes the installer; on any fault throws ToolError and leaves no output file.
void BuildInstaller(const BuildOptions& options);

}  // namespace mkinstaller
