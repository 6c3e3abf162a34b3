#include "core/install/earlier_version.h"

#include <algorithm>

#include "core/install/confinement.h"
#include "core/install/install_messages.h"
#include "core/install/installed_manifest.h"
#include "core/install/product_registration.h"
#include "core/manifest/manifest_parser.h"
#include "core/support/path_rules.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

namespace {

constexpr const char* kRecordedNames[] = {var::kManufacturer, var::kProduct,    var::kEdition,
                                          var::kVersion,      var::kPatchLevel, var::kShortcutFolder};

std::optional<std::string> NoEnvironment(const std::string&) { return std::nullopt; }

// Where the earlier version's records may be taken from: this run's places, with its
// own Start-menu folder when that sits beside this run's (another version's name).
InstallerVariables EarlierBounds(const InstallerVariables& ours, const EarlierInstallation& earlier) {
  InstallerVariables bounds = ours;
  const std::string theirs = earlier.variables.ValueOf(var::kShortcutFolder);
  const std::string menu = ours.ValueOf(var::kShortcutFolder);
  const std::optional<std::string_view> publisher = ParentFolder(menu);
  if (publisher && LiesInside(theirs, *publisher) && !LiesInside(*publisher, theirs))
    bounds.SetVariable(var::kShortcutFolder, theirs);
  return bounds;
}

}  // namespace

EarlierInstallation::EarlierInstallation() : variables(NoEnvironment) {}

std::optional<EarlierInstallation> ReadEarlierInstallation(const std::string& folder, const InstallerVariables& ours,
                                                           std::string_view text, Messages& messages) {
  // The parser's own line reader: comments and blanks skipped, %InstDir% expanded.
  ManifestState reading(NoEnvironment);
  reading.variables.SetVariable(var::kInstDir, folder);
  PlainManifestHooks hooks;
  ManifestParser reader(text, reading, messages, hooks);
  EarlierInstallation earlier;
  std::string section;
  while (const std::optional<std::string> line = reader.ReadManifestLine()) {
    if (line->front() == '[') {
      section = *line;
    } else if (EqualsIgnoreCase(section, "[Variables]")) {
      for (const char* name : kRecordedNames)
        if (const auto value = MatchPrefix(*line, std::string(name) + "=")) earlier.variables.SetVariable(name, *value);
    } else if (EqualsIgnoreCase(section, "[Files]")) {
      earlier.files.push_back(*line);
    } else if (EqualsIgnoreCase(section, "[Folders]")) {
      earlier.folders.push_back(*line);
    }
  }
  for (const char* name : {var::kManufacturer, var::kProduct})
    if (!EqualsIgnoreCase(earlier.variables.ValueOf(name), ours.ValueOf(name))) return std::nullopt;
  return earlier;
}

std::optional<EarlierInstallation> FindEarlierVersion(const InstallerVariables& ours, FileSystem& files,
                                                      Messages& messages, const std::string& folder) {
  const std::string* shared = ours.GetVariable(var::kResDir);
  const std::optional<std::string> text =
      files.ReadWholeFile(JoinPath(shared ? *shared : folder, "resources\\manifest"));
  if (!text) return std::nullopt;
  std::optional<EarlierInstallation> earlier = ReadEarlierInstallation(folder, ours, *text, messages);
  const InstallerVariables* theirs = earlier ? &earlier->variables : nullptr;
  if (!theirs || (EqualsIgnoreCase(theirs->ValueOf(var::kVersion), ours.ValueOf(var::kVersion)) &&
                  EqualsIgnoreCase(PatchLevelOf(*theirs), PatchLevelOf(ours)) &&
                  EqualsIgnoreCase(theirs->ValueOf(var::kEdition), ours.ValueOf(var::kEdition))))
    return std::nullopt;
  return earlier;
}

void BeginReplacingEarlierVersion(InstallerState& state, const EarlierInstallation& earlier, FileSystem& files,
                                  Progress& progress) {
  progress.ReportProgress(
      -1, FormatText(msg::kReplacingEarlierVersion, earlier.variables.ValueOf(var::kProduct).c_str(),
                     earlier.variables.ValueOf(var::kVersion).c_str(), PatchLevelOf(earlier.variables).c_str())
              .c_str());
  // Its folders become this installation's: the new version's files go into them, and
  // its removal takes them.
  auto& folders = state.lists.installed_folders;
  for (const std::string& listed : earlier.folders) {
    const std::optional<std::string> folder = ConfinedFolder(state.variables, listed);
    if (folder && files.IsDirectory(*folder) && std::none_of(folders.begin(), folders.end(), [&](const std::string& f) {
          return EqualsIgnoreCase(f, *folder);
        }))
      folders.push_back(*folder);
  }
}

void SetAsideEarlierFiles(InstallerState& state, const EarlierInstallation& earlier, FileSystem& files) {
  const InstallerVariables bounds = EarlierBounds(state.variables, earlier);
  const auto& written = state.lists.installed_files;
  for (const std::string& listed : earlier.files) {
    const std::optional<std::string> file = ConfinedFile(bounds, listed);
    if (!file ||
        std::any_of(written.begin(), written.end(), [&](const std::string& w) { return EqualsIgnoreCase(w, *file); }))
      continue;
    // Kept aside as an overwritten file is: gone from the folder, back if the run fails.
    if (files.FileExists(*file) && !files.IsDirectory(*file)) static_cast<void>(state.journal.BeforeWriting(*file));
  }
}

void ForgetEarlierVersion(const InstallerVariables& ours, const EarlierInstallation& earlier, Registry& registry,
                          FileSystem& files, Messages& messages) {
  InstallerState theirs(NoEnvironment);
  for (const char* name : kRecordedNames)
    if (const std::string* value = earlier.variables.GetVariable(name)) theirs.variables.SetVariable(name, *value);
  static_cast<void>(
      ProductRegistration(theirs, registry, files, messages, [] { return std::string(); }).UnregisterProduct());
  // Deepest first, as the installed manifest lists them; only empty ones go.
  const InstallerVariables bounds = EarlierBounds(ours, earlier);
  for (const std::string& listed : earlier.folders)
    if (const std::optional<std::string> folder = ConfinedFolder(bounds, listed))
      static_cast<void>(files.RemoveFolder(*folder));
  // Its own Start-menu folder, which it may not have made itself.
  static_cast<void>(files.RemoveFolder(bounds.ValueOf(var::kShortcutFolder)));
}

}  // namespace inst
