#include "core/payload/installed_copy.h"

#include "core/payload/payload_reader.h"
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

namespace {

void PutLe32(char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

void RestoreOwnProgramHeaders(char* head, std::size_t head_size, std::uint64_t copy_size) {
  const std::string_view bytes(head, head_size);
  const std::optional<ProgramHeaderFields> fields = ProgramHeaderFieldsOf(bytes);
  const std::optional<std::int64_t> image_end = ExecutableImageEnd(bytes);
  // An unsigned installer's stub part is the stub as built: copied as it is.
  if (!fields || !image_end || !CertificateTableOf(bytes) || fields->security_entry + 8 > head_size ||
      fields->checksum + 4 > head_size)
    return;
  const std::uint64_t table = static_cast<std::uint64_t>(AlignedToEight(*image_end));
  const bool own_table = copy_size > table && copy_size <= UINT32_MAX;
  PutLe32(head + fields->security_entry, own_table ? static_cast<std::uint32_t>(table) : 0);
  PutLe32(head + fields->security_entry + 4, own_table ? static_cast<std::uint32_t>(copy_size - table) : 0);
  PutLe32(head + fields->checksum, 0);
}

}  // namespace inst
