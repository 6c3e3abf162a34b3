#include "open_payload.h"

#include <fcntl.h>

#include <cstdlib>

#include "../core/installed_copy.h"
#include "../core/temp_files.h"
#include "handles.h"

namespace inst::win {

void CreateTempFolder(Process& process) {
  const std::string name = ChooseTempFolderName(
      TempFolderBase(process.environment), [] { return std::rand(); },
      [&process](const std::string& path) { return process.files.FileExists(path); });
  if (!process.files.CreateFolder(name)) process.messages.FatalError("Failed to create folder %s", name.c_str());
  process.state.temp_list.push_back(process.variables().SetVariable("TmpDir", name));
}

namespace {

std::string ReadSignature(Process& process, int fd) {
  if (::_lseek(fd, kSignatureOffset, SEEK_SET) != kSignatureOffset) process.messages.FatalError("Seek on setup");
  char bytes[kSignatureBytes] = {};
  const int got = ::_read(fd, bytes, sizeof bytes);
  return FormatManifestSignature(std::string_view(bytes, got > 0 ? static_cast<std::size_t>(got) : 0));
}

// An installed copy has no payload: it works on the manifest kept beside it, for the
// installation whose "resources" folder holds it.
std::string ReadInstalledManifest(Process& process) {
  std::optional<std::string> manifest = process.files.ReadWholeFile("manifest");
  if (auto folder = InstallationFolderOfCopy(process.program_path)) process.variables().SetVariable("InstDir", *folder);
  if (!manifest) process.messages.FatalError("Can't find the manifest");
  return std::move(*manifest);
}

}  // namespace

void OpenPayload(Process& process) {
  CreateTempFolder(process);

  std::string manifest;
  {
    Descriptor program(::_open(process.program_path.c_str(), _O_RDONLY | _O_BINARY));
    if (!program) process.messages.FatalError("Installer is corrupt or truncated");
    process.manifest_signature = ReadSignature(process, program.get());
  }
  manifest = ReadInstalledManifest(process);

  if (FirstManifestLine(manifest) != process.manifest_signature) {
    process.messages.FatalError("Invalid manifest signature");
  }
  // The manifest parser takes over from the second line on.
}

}  // namespace inst::win
