#include "open_payload.h"

#include <cstdlib>
#include <vector>

#include "core/payload/installed_copy.h"
#include "core/manifest/manifest_parser.h"
#include "core/payload/payload_reader.h"
#include "core/support/temp_files.h"
#include "shell_folders.h"
#include "core/support/variable_names.h"
#include "win_messages.h"
#include "core/install/install_messages.h"
#include "core/manifest/manifest_messages.h"

namespace inst::win {

void CreateTempFolder(Process& process) {
  const std::string name = ChooseTempFolderName(
      TempFolderBase(process.services.environment), [] { return std::rand(); },
      [&process](const std::string& path) { return process.services.files.FileExists(path); });
  if (!process.services.files.CreateFolder(name))
    process.services.messages.FatalError(msg::kFailedToCreateFolder, name.c_str());
  process.state.temp_list.push_back(process.variables().SetVariable(var::kTmpDir, name));
  process.services.screen.HoldTempFolder(name);
}

namespace {

constexpr std::size_t kEnvironmentExpansionLimit = 4096;

// setup.exe's side of the parser: resources come out of the payload stream.
class SetupManifestHooks final : public ManifestHooks {
 public:
  explicit SetupManifestHooks(Process& process) : process_(process) {}
  void OnResource(const std::string&, const std::string&, const std::string& path, std::optional<std::uint32_t> size,
                  int) override {
    // An installed manifest has no resources; a payload-less copy cannot extract any.
    if (process_.session.extractor.stream() == nullptr) process_.services.messages.FatalError(msg::kBadResourcesLine);
    process_.session.extractor.ExtractFile(path, size.value_or(0));
  }
  std::string ExpandEnvironment(const std::string& value) override {
    std::vector<char> buffer(kEnvironmentExpansionLimit);
    const DWORD needed = ::ExpandEnvironmentStringsA(value.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (needed == 0) return value;
    if (needed > buffer.size()) return std::string(value, 0, kEnvironmentExpansionLimit - 1);
    return std::string(buffer.data());
  }
  void OnVariablesEnd() override { SetInstallDefaults(process_); }

 private:
  Process& process_;
};

// An installed copy has no payload: it works on the manifest kept beside it, for the
// installation whose "resources" folder holds it.
std::string ReadInstalledManifest(Process& process) {
  std::optional<std::string> manifest = process.services.files.ReadWholeFile("manifest");
  if (auto folder = InstallationFolderOfCopy(process.program.path)) {
    process.variables().SetVariable(var::kInstDir, *folder);
    process.state.running_installed_copy = true;
  }
  if (!manifest) process.services.messages.FatalError(msg::kCantFindManifest);
  return std::move(*manifest);
}

}  // namespace

void OpenPayload(Process& process) {
  CreateTempFolder(process);

  FdFile& program = process.program.file;
  program = FdFile::OpenForReading(process.program.path);
  if (!program.is_open()) process.services.messages.InstallerCorrupt();
  process.program.manifest_signature = ReadManifestSignature(program, process.services.messages);

  std::string manifest;
  if (const std::optional<FoundPayload> payload = FindPayloadHeader(program)) {
    // Only the copy kept in an installation knows what to remove; this program would
    // remove the keys and shortcuts of whatever installation the registry names.
    if (process.variables().TestFlag(var::kRemove)) {
      process.services.messages.FatalError(msg::kCannotRemove);
    }
    process.session.extractor.SetStream(
        OpenVerifiedPayload(program, *payload, *NewMd5(), process.services.messages, manifest));
    process.state.lists.resource_list.push_back(
        {"setup.exe", process.program.path, std::string("SETUP"), payload->header.stub_length});
    process.variables().SetFlag(var::kInstall, true);
  } else {
    // No payload, yet more than the program itself: a download cut short inside
    // its payload, not an installed copy.
    const std::optional<std::int64_t> image_end = ExecutableImageEnd(program);
    if (image_end && program.Size() > *image_end) process.services.messages.InstallerCorrupt();
    program.Close();
    manifest = ReadInstalledManifest(process);
  }

  const std::string_view signature_line = FirstManifestLine(manifest);
  if (signature_line != process.program.manifest_signature)
    process.services.messages.FatalError(msg::kInvalidManifestSignature);

  SetupManifestHooks hooks(process);
  const std::string_view body = std::string_view(manifest).substr(signature_line.size());
  ManifestParser(body, process.state, process.services.messages, hooks).ParseManifest();

  ApplyOrderingDefaults(process.variables(), ReadReferral(process.program.path));
  process.session.run.ProbeFeaturesAndComponents();
}

}  // namespace inst::win
