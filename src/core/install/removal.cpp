#include "core/install/removal.h"

#include <algorithm>

#include "core/install/confinement.h"
#include "core/install/extraction.h"
#include "core/install/install_messages.h"
#include "core/install/installed_manifest.h"
#include "core/manifest/entry_grammars.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

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

// The link's target, when another installation (another version, say) has made the
// link anew since: it points elsewhere than this installation's line would have it.
std::optional<std::string> LinkOfAnother(const InstallerState& state, FileSystem& files, const std::string& file) {
  if (!state.lists.shortcut_list) return std::nullopt;
  for (const ShortcutRecord& shortcut : *state.lists.shortcut_list) {
    if (!EqualsIgnoreCase(ShortcutLinkPath(state.variables, shortcut), file)) continue;
    const std::optional<std::string> target = files.LinkTarget(file);
    if (target && !EqualsIgnoreCase(*target, ShortcutTarget(state.variables, shortcut))) return target;
  }
  return std::nullopt;
}

}  // namespace

std::string RemoveInstallation(InstallerState& state, FileSystem& files, Messages& messages, Progress& progress,
                               const std::string& script_path, ScriptEncoder encode) {
  auto& lists = state.lists;
  const InstallerVariables& vars = state.variables;
  // What the installed manifest lists is deleted only inside the installation, as
  // resolved: a line edited to climb out of it is skipped.
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
  for (const std::string& listed : lists.installed_files) {
    const std::optional<std::string> resolved = ConfinedFile(vars, listed);
    const std::string& file = resolved ? *resolved : listed;
    if (!resolved) {
      progress.ReportProgress(percent(), FormatText(msg::kSkippingFileOutside, listed.c_str()).c_str());
    } else if (EqualsIgnoreCase(file, manifest)) {
      manifest_listed = true;
    } else if (const std::optional<std::string> elsewhere = LinkOfAnother(state, files, file)) {
      progress.ReportProgress(percent(), FormatText(msg::kKeepingLink, file.c_str(), elsewhere->c_str()).c_str());
    } else {
      // A new version waiting to take the file's place at the restart goes first, so
      // that the restart brings nothing back; one still held goes right after it.
      if (const std::string waiting = file + kReplacementSuffix; files.FileExists(waiting)) {
        progress.ReportProgress(percent(), FormatText(msg::kDeletingFile, waiting.c_str()).c_str());
        if (!files.RemoveFile(waiting)) {
          if (!files.ScheduleAtRestart(file, "")) messages.FatalError(msg::kCantLeaveForRestart, file.c_str());
          state.restart_needed = true;
        }
      }
      progress.ReportProgress(percent(), FormatText(msg::kDeletingFile, file.c_str()).c_str());
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
  for (const std::string& listed : lists.installed_folders) {
    const std::optional<std::string> folder = ConfinedFolder(vars, listed);
    progress.ReportProgress(
        percent(), FormatText(folder ? msg::kRemovingFolder : msg::kSkippingFolderOutside, listed.c_str()).c_str());
    ++removed;
    if (folder && !files.RemoveFolder(*folder)) folders_left.push_back(*folder);
  }
  // Made by another installation that shared it (another version), the Start-menu
  // folder is on no list here: once empty, it goes, and the publisher's folder too.
  const std::string menu = vars.ValueOf(var::kShortcutFolder);
  if (lists.shortcut_list && ConfinedFolder(vars, menu) && files.RemoveFolder(menu))
    static_cast<void>(files.RemoveFolder(std::string(ParentFolder(menu).value_or(""))));
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
