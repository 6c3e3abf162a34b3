#include "core/manifest/installed_manifest.h"

#include <algorithm>

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
  for (const ResourceRecord& resource : lists.resource_list)
    if (resource.key) line(*resource.key + "=" + CollapseInstDir(resource.name, vars));
  line("[Files]");
  for (const std::string& file : lists.installed_files) line(CollapseInstDir(file, vars));
  line("[Folders]");
  // Deepest first, so that each folder is empty by the time it is removed; of
  // equal depth, the one made last first.
  auto depth = [](const std::string& folder) { return std::count(folder.begin(), folder.end(), '\\'); };
  std::ptrdiff_t deepest = 0;
  for (const std::string& folder : lists.installed_folders) deepest = std::max(deepest, depth(folder));
  std::vector<std::string> folders;
  for (std::ptrdiff_t level = deepest; level >= 0; --level) {
    for (auto it = lists.installed_folders.rbegin(); it != lists.installed_folders.rend(); ++it)
      if (depth(*it) == level) folders.push_back(*it);
  }
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

void KeepEarlierRecords(InstallerState& state, std::string_view earlier) {
  InstallerVariables& vars = state.variables;
  std::string section;
  bool same_product = true;
  std::vector<std::string> files, folders;
  std::size_t start = 0;
  while (start < earlier.size()) {
    std::size_t end = earlier.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = earlier.size();
    const std::string_view line = earlier.substr(start, end - start);
    start = earlier.find_first_not_of("\r\n", end);
    if (start == std::string_view::npos) start = earlier.size();
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = std::string(line);
      continue;
    }
    if (EqualsIgnoreCase(section, "[Variables]")) {
      for (const char* name : {"Manufacturer", "Product"}) {
        const std::string prefix = std::string(name) + "=";
        if (StartsWithIgnoreCase(line, prefix) && !EqualsIgnoreCase(line.substr(prefix.size()), vars.ValueOf(name))) {
          same_product = false;
        }
      }
    } else if (EqualsIgnoreCase(section, "[Files]")) {
      files.push_back(ExpandInstDir(line, vars));
    } else if (EqualsIgnoreCase(section, "[Folders]")) {
      folders.push_back(ExpandInstDir(line, vars));
    }
  }
  if (!same_product) return;
  auto keep = [](std::vector<std::string>& list, const std::vector<std::string>& earlier_entries) {
    for (const std::string& entry : earlier_entries) {
      const bool listed =
          std::any_of(list.begin(), list.end(), [&](const std::string& e) { return EqualsIgnoreCase(e, entry); });
      if (!listed) list.push_back(entry);
    }
  };
  keep(state.lists.installed_files, files);
  keep(state.lists.installed_folders, folders);
}

void WriteInstalledManifest(InstallerState& state, FileSystem& files, Messages& messages,
                            const std::string& signature) {
  if (!state.variables.TestFlag(var::kInstall)) return;
  const std::string path = InstalledManifestPath(state.variables);
  // Installed again into the same folder: what the earlier run installed stays on
  // record, so that one removal takes both.
  const std::optional<std::string> earlier = files.ReadWholeFile(path);
  if (earlier) KeepEarlierRecords(state, *earlier);
  if (state.journal.recording && !earlier) state.journal.files.push_back(path);
  Opened<OutputFile> out = files.OpenForWriting(path);
  if (!out.file) messages.FatalError("Can't open manifest for writing");
  const std::string text = InstalledManifestText(state, signature, path);
  if (!out.file->Write(text.data(), text.size())) messages.FatalError("Can't open manifest for writing");
}

std::string CleanupScriptText(const std::string& setup, const std::vector<std::string>& folders_left,
                              const std::string& script) {
  const std::string copy = "\"" + setup + "\"";
  std::string out = "cd \\\r\n";
  out += "set tries=0\r\n";
  out += ":Repeat\r\n";
  out += "del " + copy + "\r\n";
  out += "if not exist " + copy + " goto Removed\r\n";
  out += "set /a tries=tries+1\r\n";
  out += FormatText("if %%tries%% geq %d goto Removed\r\n", kCleanupTries);
  out += "ping -n 2 127.0.0.1 > nul\r\n";  // about a second between tries
  out += "goto Repeat\r\n";
  out += ":Removed\r\n";
  for (const std::string& folder : folders_left) out += "rmdir \"" + folder + "\"\r\n";
  out += "del \"" + script + "\"\r\n";
  return out;
}

namespace {

// What a removal may touch: the installation folder, the resources folder kept
// elsewhere, and the product's Start-menu folder. Folders above them are removed
// too when this installation made them and they are left empty.
class RemovalBounds {
 public:
  explicit RemovalBounds(const InstallerVariables& vars) {
    for (const char* name : {"InstDir", "ResDir", "ShortcutFolder"}) {
      if (const std::string* folder = vars.GetVariable(name); folder && IsFullPath(*folder)) roots_.push_back(*folder);
    }
  }
  bool HoldsFile(const std::string& path) const {
    return std::any_of(roots_.begin(), roots_.end(),
                       [&](const std::string& root) { return IsWithinFolder(path, root); });
  }
  bool HoldsFolder(const std::string& path) const {
    return HoldsFile(path) || std::any_of(roots_.begin(), roots_.end(),
                                          [&](const std::string& root) { return IsWithinFolder(root, path); });
  }

 private:
  std::vector<std::string> roots_;
};

}  // namespace

std::string RemoveInstallation(InstallerState& state, FileSystem& files, Messages& messages, Progress& progress,
                               const std::string& script_path) {
  auto& lists = state.lists;
  const InstallerVariables& vars = state.variables;
  const RemovalBounds bounds(vars);
  // The installed manifest goes last, so that a removal stopped half-way can be run again.
  const std::string manifest = InstalledManifestPath(vars);
  // The running copy is the clean-up script's to delete once this program has ended.
  const std::string running_copy = vars.ValueOf(var::kSetup);
  std::vector<std::string> folders_left;
  progress.ReportProgress(100, nullptr);
  state.progress_unit = static_cast<std::uint32_t>(lists.installed_files.size() + lists.installed_folders.size());
  state.progress_done = 0;
  auto percent = [&state] {
    return static_cast<int>((state.progress_unit - state.progress_done) * 100 / state.progress_unit);
  };
  bool manifest_listed = false;
  for (const std::string& file : lists.installed_files) {
    if (!bounds.HoldsFile(file)) {
      progress.ReportProgress(percent(),
                              FormatText("Skipping file %s: outside the installation", file.c_str()).c_str());
    } else if (EqualsIgnoreCase(file, manifest)) {
      manifest_listed = true;
    } else {
      progress.ReportProgress(percent(), FormatText("Deleting file %s", file.c_str()).c_str());
      while (!files.RemoveFile(file) && files.FileExists(file) && !EqualsIgnoreCase(file, running_copy)) {
        if (!messages.AskRetryCancel(
                "Can't delete file",
                "The file %s cannot be deleted -\nclose any other applications that may be using it", file.c_str())) {
          messages.FatalError(
              "Removal stopped: %s could not be deleted.\nThe installation is still registered; "
              "remove it again once the file is free.",
              file.c_str());
        }
      }
    }
    ++state.progress_done;
  }
  // Left behind, it keeps its folder, which the clean-up script then takes.
  if (manifest_listed) static_cast<void>(files.RemoveFile(manifest));
  for (const std::string& folder : lists.installed_folders) {
    const bool inside = bounds.HoldsFolder(folder);
    progress.ReportProgress(
        percent(),
        FormatText(inside ? "Removing folder %s" : "Skipping folder %s: outside the installation", folder.c_str())
            .c_str());
    ++state.progress_done;
    if (inside && !files.RemoveFolder(folder)) folders_left.push_back(folder);
  }
  Opened<OutputFile> out = files.OpenForWriting(script_path);
  if (!out.file) messages.FatalError("Could not create %s", script_path.c_str());
  const std::string text = CleanupScriptText(running_copy, folders_left, script_path);
  if (!out.file->Write(text.data(), text.size())) messages.FatalError("Could not create %s", script_path.c_str());
  return script_path;
}

}  // namespace inst
