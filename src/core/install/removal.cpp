#include "core/install/removal.h"

#include <algorithm>

#include "core/install/installed_manifest.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/install/install_messages.h"

namespace inst {

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
                               const std::string& script_path, ScriptEncoder encode) {
  auto& lists = state.lists;
  const InstallerVariables& vars = state.variables;
  const RemovalBounds bounds(vars);
  // The installed manifest goes last, so that a removal stopped half-way can be run again.
  const std::string manifest = InstalledManifestPath(vars);
  // The running copy is the clean-up script's to delete once this program has ended.
  const std::string running_copy = vars.ValueOf(var::kSetup);
  std::vector<std::string> folders_left;
  progress.ReportProgress(100, nullptr);
  // The bar falls by entries, files and folders alike.
  const std::size_t entries = lists.installed_files.size() + lists.installed_folders.size();
  std::size_t removed = 0;
  auto percent = [&] { return static_cast<int>((entries - removed) * 100 / entries); };
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
        const int answer =
            messages.AskAbortRetryIgnore(msg::kCantDeleteFileTitle, msg::kFileInUseForDeleting, file.c_str());
        if (answer == box::kIdRetry) continue;
        if (answer == box::kIdAbort) messages.FatalExit(kExitCancelled, msg::kRemovalStopped, file.c_str());
        if (!files.ScheduleAtRestart(file, "")) messages.FatalError(msg::kCantLeaveForRestart, file.c_str());
        state.restart_needed = true;
        progress.ReportProgress(percent(), FormatText(msg::kDeleteAtRestart, file.c_str()).c_str());
        break;
      }
    }
    ++removed;
  }
  // Left behind, it keeps its folder, which the clean-up script then takes.
  if (manifest_listed) static_cast<void>(files.RemoveFile(manifest));
  for (const std::string& folder : lists.installed_folders) {
    const bool inside = bounds.HoldsFolder(folder);
    progress.ReportProgress(
        percent(),
        FormatText(inside ? "Removing folder %s" : "Skipping folder %s: outside the installation", folder.c_str())
            .c_str());
    ++removed;
    if (inside && !files.RemoveFolder(folder)) folders_left.push_back(folder);
  }
  // A folder that holds a file deleted at the restart goes after it, if it is empty by then.
  if (state.restart_needed)
    for (const std::string& folder : folders_left) static_cast<void>(files.ScheduleAtRestart(folder, ""));
  Opened<OutputFile> out = files.OpenForWriting(script_path);
  if (!out.file) messages.FatalError(msg::kCouldNotCreate, script_path.c_str());
  const std::string text = encode(CleanupScriptText(running_copy, folders_left, script_path));
  if (!out.file->Write(text.data(), text.size())) messages.FatalError(msg::kCouldNotCreate, script_path.c_str());
  return script_path;
}

}  // namespace inst
