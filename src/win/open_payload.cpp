#include "open_payload.h"

#include <cstdlib>
#include <vector>

#include "core/payload/installed_copy.h"
#include "core/manifest/manifest_parser.h"
#include "core/payload/payload_reader.h"
#include "core/support/temp_files.h"
#include "tool_integrations.h"
#include "core/support/variable_names.h"

namespace inst::win {

void CreateTempFolder(Process& process) {
  const std::string name = ChooseTempFolderName(
      TempFolderBase(process.environment), [] { return std::rand(); },
      [&process](const std::string& path) { return process.files.FileExists(path); });
  if (!process.files.CreateFolder(name)) process.messages.FatalError("Failed to create folder %s", name.c_str());
  process.state.temp_list.push_back(process.variables().SetVariable(var::kTmpDir, name));
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
    if (process_.extractor.stream() == nullptr) process_.messages.FatalError("Bad line in [Resources]");
    process_.extractor.ExtractFile(path, size.value_or(0));
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
  std::optional<std::string> manifest = process.files.ReadWholeFile("manifest");
  if (auto folder = InstallationFolderOfCopy(process.program_path)) {
    process.variables().SetVariable(var::kInstDir, *folder);
    process.state.running_installed_copy = true;
  }
  if (!manifest) process.messages.FatalError("Can't find the manifest");
  return std::move(*manifest);
}

}  // namespace

void OpenPayload(Process& process) {
  CreateTempFolder(process);

  FdFile& program = process.program_file;
  program = FdFile::OpenForReading(process.program_path);
  if (!program.is_open()) process.messages.InstallerCorrupt();
  process.manifest_signature = ReadManifestSignature(program, process.messages);

  std::string manifest;
  if (const std::optional<FoundPayload> payload = FindPayloadHeader(program)) {
    // Only the copy kept in an installation knows what to remove; this program would
    // remove the keys and shortcuts of whatever installation the registry names.
    if (process.variables().TestFlag(var::kRemove)) {
      process.messages.FatalError(
          "This installer cannot remove an installation.\nRemove it through its uninstall "
          "entry, or run resources\\setup.exe --remove in its folder.");
    }
    process.extractor.SetStream(OpenVerifiedPayload(program, *payload, *NewMd5(), process.messages, manifest));
    process.state.lists.resource_list.push_back(
        {"setup.exe", process.program_path, std::string("SETUP"), payload->header.stub_length});
    process.variables().SetFlag(var::kInstall, true);
  } else {
    // No payload, yet more than the program itself: a download cut short inside
    // its payload, not an installed copy.
    const std::optional<std::int64_t> image_end = ExecutableImageEnd(program);
    if (image_end && program.Size() > *image_end) process.messages.InstallerCorrupt();
    program.Close();
    manifest = ReadInstalledManifest(process);
  }

  const std::string_view signature_line = FirstManifestLine(manifest);
  if (signature_line != process.manifest_signature) process.messages.FatalError("Invalid manifest signature");

  SetupManifestHooks hooks(process);
  const std::string_view body = std::string_view(manifest).substr(signature_line.size());
  ManifestParser(body, process.state, process.messages, hooks).ParseManifest();

  ApplyOrderingDefaults(process.variables(), ReadReferral(process.program_path));
  process.run.ProbeFeaturesAndComponents();
}

}  // namespace inst::win
