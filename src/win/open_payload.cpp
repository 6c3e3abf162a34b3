#include "win/open_payload.h"

#include <ntsecapi.h>

#include <cstdlib>
#include <vector>

#include "core/install/install_messages.h"
#include "core/manifest/manifest_messages.h"
#include "core/manifest/manifest_parser.h"
#include "core/payload/installed_copy.h"
#include "core/payload/payload_reader.h"
#include "core/support/temp_files.h"
#include "core/support/variable_names.h"
#include "win/administrator.h"
#include "win/handles.h"
#include "win/shell_folders.h"
#include "win/win_messages.h"

namespace inst::win {

namespace {

constexpr int kTempFolderDraws = 10;

// A name no other program can guess.
unsigned RandomNumber() {
  unsigned number = 0;
  if (!::RtlGenRandom(&number, sizeof number)) number = ::GetTickCount() ^ ::GetCurrentProcessId();
  return number;
}

// A wide path in the ANSI code page, or nothing when a character has no place in it.
std::optional<std::string> InAnsiCodePage(const wchar_t* path) {
  char text[MAX_PATH];
  BOOL lossy = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, 0, path, -1, text, sizeof text, nullptr, &lossy);
  if (length <= 0 || lossy) return std::nullopt;
  return std::string(text);
}

// Where temporary folders may go, best first: TEMP as this program sees it; its
// short form, for a TEMP whose letters the ANSI code page lacks (they arrive as
// "?"); the system's own temporary folder.
std::vector<std::string> TempFolderBases(Environment& environment) {
  std::vector<std::string> bases = {TempFolderBase(environment)};
  wchar_t temp[MAX_PATH], short_form[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
  const DWORD short_length = length > 0 && length < MAX_PATH ? ::GetShortPathNameW(temp, short_form, MAX_PATH) : 0;
  if (short_length > 0 && short_length < MAX_PATH) {
    if (auto base = InAnsiCodePage(short_form)) bases.push_back(*base);
  }
  char windows[MAX_PATH];
  const UINT windows_length = ::GetSystemWindowsDirectoryA(windows, MAX_PATH);
  if (windows_length > 0 && windows_length < MAX_PATH) bases.push_back(JoinPath(windows, "Temp"));
  return bases;
}

}  // namespace

void CreateTempFolder(InstallerState& state, Services& services) {
  // Elevated, the folder is the administrators' and the system's alone.
  const char* access = IsElevated() ? kTempFolderAccess : nullptr;
  std::string name;
  for (const std::string& base : TempFolderBases(services.environment)) {
    if (base.find('?') != std::string::npos || !services.files.IsDirectory(base)) continue;
    for (int draw = 0; draw < kTempFolderDraws; ++draw) {
      name = TempFolderName(base, RandomNumber());
      // Never a folder that exists: someone else may have made it, and own it.
      if (services.files.CreateFolder(name, access)) {
        state.temp_list.push_back(state.variables.SetVariable(var::kTmpDir, name));
        services.screen.HoldTempFolder(name);
        services.log.Write("Temporary folder: " + name);
        return;
      }
      if (::GetLastError() != ERROR_ALREADY_EXISTS) break;  // full, read-only or gone: the next place
    }
  }
  services.messages.FatalError(msg::kFailedToCreateFolder, name.c_str());
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
  void OnVariablesEnd() override {
    SetInstallDefaults(process_.state, process_.services, process_.session.product, process_.program.main_window);
  }

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
  process.services.progress.BeginStep("temporary folder");
  CreateTempFolder(process.state, process.services);
  process.services.progress.BeginStep("digest");

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
        {"setup.exe", process.program.path, std::string(var::kSetup), payload->header.stub_length, true});
    process.variables().SetFlag(var::kInstall, true);
  } else {
    // No payload, yet more than the program itself (and its own signature): a
    // download cut short inside its payload, not an installed copy.
    const std::optional<std::int64_t> program_end = SignedProgramEnd(ReadExecutableHead(program));
    if (program_end && program.Size() > *program_end) process.services.messages.InstallerCorrupt();
    program.Close();
    manifest = ReadInstalledManifest(process);
  }

  process.services.progress.BeginStep("manifest and resources");
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
