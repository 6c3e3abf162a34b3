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
  const std::optional<std::string_view> folder = ParentFolder(program_path);
  if (!folder) return std::nullopt;
  const std::optional<std::string_view> parent = ParentFolder(*folder);
  if (!parent || !EqualsIgnoreCase(folder->substr(parent->size()), "\\resources")) return std::nullopt;
  return std::string(*parent);
}

}  // namespace inst
