#include "core/wizard/licence.h"

namespace inst {

std::optional<std::string> ReadLicenceText(FileSystem& files, const std::string* path) {
  if (path == nullptr) return std::nullopt;
  Opened<InputFile> opened = files.OpenForReading(*path);
  if (!opened.file) return std::nullopt;
  std::string text(kMaxLicenceText, '\0');
  std::size_t filled = 0;
  while (filled < text.size()) {
    const long got = opened.file->Read(text.data() + filled, text.size() - filled);
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  text.resize(filled);
  return text;
}

}  // namespace inst
