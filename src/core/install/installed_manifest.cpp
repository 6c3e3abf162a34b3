#include "core/install/installed_manifest.h"

#include <algorithm>

#include "core/install/earlier_version.h"
#include "core/manifest/manifest_messages.h"
#include "core/manifest/manifest_parser.h"
#include "core/support/limits.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

std::string CollapseInstDir(std::string_view text, const InstallerVariables& variables) {
  const std::string folder = variables.ValueOf(var::kInstDir);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    // The first character must match exactly, the rest ignoring case.
    if (!folder.empty() && text[i] == folder[0] && StartsWithIgnoreCase(text.substr(i), folder)) {
      out += "%InstDir%";
      i += folder.size();
    } else {
      out += text[i++];
    }
  }
  if (out.size() > kMaxExpansionLength) out.resize(kMaxExpansionLength);
  return out;
}

std::string InstalledManifestPath(const InstallerVariables& variables) {
  const std::string* resources = variables.GetVariable(var::kResDir);
  return JoinPath(resources ? *resources : variables.ValueOf(var::kInstDir), "resources\\manifest");
}

namespace {

// Deepest first, so that each folder is empty by the time it is removed; of equal
// depth, the one made last first.
std::vector<std::string> InRemovalOrder(const std::vector<std::string>& made) {
  auto depth = [](const std::string& folder) { return std::count(folder.begin(), folder.end(), '\\'); };
  std::ptrdiff_t deepest = 0;
  for (const std::string& folder : made) deepest = std::max(deepest, depth(folder));
  std::vector<std::string> folders;
  for (std::ptrdiff_t level = deepest; level >= 0; --level) {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      if (depth(*it) == level) folders.push_back(*it);
  }
  return folders;
}

}  // namespace

std::string InstalledManifestText(InstallerState& state, const std::string& signature, const std::string& path) {
  const InstallerVariables& vars = state.variables;
  auto& lists = state.lists;
  lists.installed_files.push_back(path);
  std::string out;
  auto line = [&out](const std::string& text) { out += text + "\r\n"; };

  line(signature);
  line("[Variables]");
  // The copy kept in a separate resources folder cannot tell the installation
  // folder from its own place: it reads it here, before any line that uses it.
  if (vars.GetVariable(var::kResDir)) line("InstDir=" + vars.ValueOf(var::kInstDir));
  // Version goes before PatchLevel whatever order the manifest set them in: read
  // back, a patch level without a version would end the installed copy.
  std::vector<std::string> names = lists.variable_names;
  const auto version =
      std::find_if(names.begin(), names.end(), [](const std::string& n) { return EqualsIgnoreCase(n, "Version"); });
  const auto patch =
      std::find_if(names.begin(), names.end(), [](const std::string& n) { return EqualsIgnoreCase(n, "PatchLevel"); });
  if (version != names.end() && patch < version) std::rotate(patch, version, version + 1);
  for (const std::string& name : names) line(name + "=" + CollapseInstDir(vars.ValueOf(name), vars));
  // The Start-menu folder this run used: a removal by another account (whose own
  // Start menu is elsewhere) still finds the shortcuts.
  const std::string* shortcuts = vars.GetVariable(var::kShortcutFolder);
  if (shortcuts && std::none_of(names.begin(), names.end(),
                                [](const std::string& n) { return EqualsIgnoreCase(n, var::kShortcutFolder); }))
    line(std::string(var::kShortcutFolder) + "=" + *shortcuts);
  for (const ResourceRecord& resource : lists.resource_list)
    if (resource.key) line(*resource.key + "=" + CollapseInstDir(resource.name, vars));
  line("[Files]");
  for (const std::string& file : lists.installed_files) line(CollapseInstDir(file, vars));
  line("[Folders]");
  const std::vector<std::string> folders = InRemovalOrder(lists.installed_folders);
  for (const std::string& folder : folders) line(CollapseInstDir(folder, vars));
  // The installation folder itself, unless it is listed already (this run or an
  // earlier one created it, or a parent of it).
  const std::string root = vars.ValueOf(var::kInstDir);
  if (std::none_of(folders.begin(), folders.end(), [&](const std::string& f) { return IsWithinFolder(root, f); })) {
    line("%InstDir%");
  }
  line("[Shortcuts]");
  if (lists.shortcut_list) {
    for (const ShortcutRecord& shortcut : *lists.shortcut_list) {
      std::string text = shortcut.name + "=" + CollapseInstDir(shortcut.target, vars);
      if (shortcut.arguments) text += ">" + *shortcut.arguments;
      if (shortcut.icon) text += "," + *shortcut.icon;
      line(text);
    }
  }
  line("[Run]");
  return out;
}

void KeepEarlierRecords(InstallerState& state, std::string_view earlier, Messages& messages) {
  const std::optional<EarlierInstallation> records =
      ReadEarlierInstallation(state.variables.ValueOf(var::kInstDir), state.variables, earlier, messages);
  if (!records) return;
  auto keep = [](std::vector<std::string>& list, const std::vector<std::string>& earlier_entries) {
    for (const std::string& entry : earlier_entries) {
      const bool listed =
          std::any_of(list.begin(), list.end(), [&](const std::string& e) { return EqualsIgnoreCase(e, entry); });
      if (!listed) list.push_back(entry);
    }
  };
  keep(state.lists.installed_files, records->files);
  keep(state.lists.installed_folders, records->folders);
}

void WriteInstalledManifest(InstallerState& state, FileSystem& files, Messages& messages,
                            const std::string& signature) {
  if (!state.variables.TestFlag(var::kInstall)) return;
  const std::string path = InstalledManifestPath(state.variables);
  // Installed again into the same folder: what the earlier run installed stays on
  // record, so that one removal takes both.
  const std::optional<std::string> earlier = files.ReadWholeFile(path);
  if (earlier) KeepEarlierRecords(state, *earlier, messages);
  state.journal.BeforeWriting(path);
  Opened<OutputFile> out = files.OpenForWriting(path);
  if (!out.file) messages.FatalError(msg::kCantWriteInstalledManifest);
  const std::string text = InstalledManifestText(state, signature, path);
  if (!out.file->Write(text.data(), text.size())) messages.FatalError(msg::kCantWriteInstalledManifest);
}

}  // namespace inst
