#include "core/install/install_defaults.h"

#include <algorithm>

#include "core/install/confinement.h"
#include "core/install/install_messages.h"
#include "core/install/registry_names.h"
#include "core/install/vendor_tools.h"
#include "core/support/limits.h"
#include "core/support/path_rules.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

namespace {

std::string StartMenuFolder(Registry& registry, Messages& messages, ShellFolders& shell, Environment& environment,
                            FileSystem& files) {
  std::string path = shell.StartMenuProgramsFolder();
  if (!path.empty()) return path;
  const RegistryValue programs = registry.RegistryReadString(
      kHKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs");
  if (programs.ok()) return programs.text;
  std::optional<std::string> windir = environment.Get("windir");
  if (!windir || windir->empty()) windir = "C:\\WINDOWS";
  path = JoinPath(*windir, "Start Menu\\Programs");
  if (!files.IsDirectory(path)) messages.FatalError(msg::kNoStartMenu);
  return path;
}

// The recorded Start-menu folder counts only below a Start menu of this machine.
bool RecordedStartMenuFolder(const InstallerVariables& vars, ShellFolders& shell) {
  const std::string* recorded = vars.GetVariable(var::kShortcutFolder);
  if (!recorded) return false;
  const std::vector<std::string> menus = shell.EveryStartMenuFolder();
  return std::any_of(menus.begin(), menus.end(), [&](const std::string& menu) {
    return LiesInside(*recorded, menu) && !LiesInside(menu, *recorded);
  });
}

}  // namespace

void SetInstallDefaults(InstallerState& state, Registry& registry, Messages& messages, ProductRegistration& product,
                        ShellFolders& shell, Environment& environment, FileSystem& files) {
  InstallerVariables& vars = state.variables;
  // Defaults first, before any key is formed from the variables: a product without a
  // patch level is at "PL0" (which a version must precede).
  if (vars.GetVariable(var::kVersion) && vars.ValueOf(var::kPatchLevel).empty())
    vars.SetVariable(var::kPatchLevel, "PL0");
  if (auto program_files = shell.ProgramFilesFolder()) vars.SetVariable(var::kProgramFiles, *program_files);

  if (!state.running_installed_copy) {
    if (const std::optional<std::string> refusal = ProductFolderRefusal(vars)) messages.FatalText(*refusal);
  }
  // An installed copy keeps the Start-menu folder its installation recorded,
  // whichever account runs it, as long as it is one: it deletes links there.
  if (!state.running_installed_copy || !RecordedStartMenuFolder(vars, shell)) {
    const std::string start_menu = StartMenuFolder(registry, messages, shell, environment, files);
    std::string shortcut_folder = start_menu + "\\" + kPublisher + "\\" + StartMenuFolderName(vars);
    if (shortcut_folder.size() > kMaxFormattedLength) shortcut_folder.resize(kMaxFormattedLength);
    vars.SetVariable(var::kShortcutFolder, shortcut_folder);
  }

  const std::string* folder = vars.GetVariable(var::kInstDir);
  const bool is_default = folder != nullptr && EqualsIgnoreCase(*folder, "default");
  const bool chosen = folder != nullptr && !is_default;
  // A headless run keeps what the command line gave, even no folder at all; an
  // installed copy keeps its own installation, whichever the registry names.
  if (vars.TestFlag(var::kHeadlessInstall) && !is_default) return;
  if (state.running_installed_copy) return;
  // The same version and patch level installed before propose their folder again.
  const RegistryValue earlier = registry.RegistryReadString(kHKLM, product.PatchLevelKey(), reg::kInstDir);
  if (earlier.ok()) {
    vars.SetVariable(var::kInstDir, earlier.text);
    return;
  }
  if (chosen) return;
  vars.SetVariable(var::kInstDir, ExpandProductPath(vars, "[ProgramFiles]\\", "\\[Version]"));
}

}  // namespace inst
