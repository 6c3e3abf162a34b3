#include "core/payload/installed_copy.h"

#include "core/support/text.h"

namespace inst {

std::string FormatManifestSignature(std::string_view bytes) {
  std::string text;
  for (char byte : bytes) text += FormatText("%2.2X", static_cast<unsigned char>(byte));
  return text;
}

std::string_view FirstManifestLine(std::string_view manifest) {
  return manifest.substr(0, manifest.find_first_of("\r\n"));
}

std::optional<std::string> InstallationFolderOfCopy(std::string_view program_path) {
  const auto last = program_path.rfind('\\');
  if (last == std::string_view::npos) return std::nullopt;
  const std::string_view folder = program_path.substr(0, last);
  const auto parent = folder.rfind('\\');
  if (parent == std::string_view::npos) return std::nullopt;
  if (!EqualsIgnoreCase(folder.substr(parent), "\\resources")) return std::nullopt;
  return std::string(folder.substr(0, parent));
}

}  // namespace inst
