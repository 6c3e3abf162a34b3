#include "core/install/confinement.h"

#include <algorithm>

#include "core/install/install_messages.h"
#include "core/install/vendor_tools.h"
#include "core/manifest/manifest_messages.h"
#include "core/support/path_rules.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

namespace {

// Whether the path lies in one of the run's places: inside it, or (`folder`) above it.
bool Confined(const InstallerVariables& variables, const std::string& path, bool folder) {
  const std::string* resources = variables.GetVariable(var::kResDir);
  const std::string places[] = {variables.ValueOf(var::kInstDir), variables.ValueOf(var::kTmpDir),
                                resources ? JoinPath(*resources, "resources") : std::string(),
                                variables.ValueOf(var::kShortcutFolder)};
  const bool link = path.size() > 4 && EqualsIgnoreCase(std::string_view(path).substr(path.size() - 4), ".lnk");
  for (const std::string& place : places) {
    const bool files_of_any_kind = &place != &places[3];
    if (LiesInside(path, place) && (folder || link || files_of_any_kind)) return true;
    if (folder && LiesInside(place, path)) return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> ConfinedFile(const InstallerVariables& variables, const std::string& path) {
  return Confined(variables, path, false) ? ResolvePath(path) : std::nullopt;
}

std::optional<std::string> ConfinedFolder(const InstallerVariables& variables, const std::string& path) {
  return Confined(variables, path, true) ? ResolvePath(path) : std::nullopt;
}

void RefuseOutsideInstallation(const InstallerVariables& variables, Messages& messages, const std::string& path,
                               bool folder) {
  if (!Confined(variables, path, folder)) messages.FatalError(msg::kOutsideInstallation, path.c_str());
}

std::string StartMenuFolderName(const InstallerVariables& variables) {
  const std::string* name = variables.GetVariable("ShortcutFolderName");
  return name ? *name : variables.ValueOf(var::kDescription);
}

std::optional<std::string> ProductFolderRefusal(const InstallerVariables& variables) {
  // Joined to their base folder, leading separators fall away and an empty name is the base itself.
  auto climbs = [](std::string_view name) {
    name.remove_prefix(std::min(name.size(), name.find_first_not_of("\\/")));
    return !name.empty() && LeadsOutside(name);
  };
  const std::string start_menu = StartMenuFolderName(variables);
  if (climbs(start_menu)) return FormatText(msg::kProductFolderLeadsOut, "Start-menu", start_menu.c_str());
  const std::string folder = ExpandProductPath(variables, "", "\\[Version]");
  if (climbs(folder)) return FormatText(msg::kProductFolderLeadsOut, "installation", folder.c_str());
  return std::nullopt;
}

}  // namespace inst
