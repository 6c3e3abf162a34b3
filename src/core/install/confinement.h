// Where a run may write and delete. The installer runs as administrator, and the
// paths it acts on come from a payload or an installed manifest: each is resolved
// first, then held against the places this run owns: the installation folder, its
// resources folder (elsewhere when ResDir says so), the run's temporary folder, and
// the Start-menu folder (shell links only).
#pragma once
#include <optional>
#include <string>

#include "core/support/messages.h"
#include "core/support/variables.h"

namespace inst {

// The file resolved, when the run may write or delete it.
[[nodiscard]] std::optional<std::string> ConfinedFile(const InstallerVariables& variables, const std::string& path);
// The folder resolved, when the run may make or remove it: one of those places, a
// folder inside one, or a folder above one (made for it; removed only when empty).
[[nodiscard]] std::optional<std::string> ConfinedFolder(const InstallerVariables& variables, const std::string& path);

// Ends the run before anything is written to a path outside the installation.
void RefuseOutsideInstallation(const InstallerVariables& variables, Messages& messages, const std::string& path,
                               bool folder = false);

// The Start-menu folder's name: ShortcutFolderName, else the product's Description.
std::string StartMenuFolderName(const InstallerVariables& variables);
// The message for a folder the product's variables name (its Start-menu folder, its
// default installation folder below Program Files) that would lead elsewhere.
std::optional<std::string> ProductFolderRefusal(const InstallerVariables& variables);

}  // namespace inst
