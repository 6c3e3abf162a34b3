// What an installation leaves to be repaired or removed later: the installed
// manifest in its resources folder, listing every file, folder and shortcut made.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "core/install/installer_state.h"
#include "core/support/messages.h"
#include "core/support/os.h"

namespace inst {

// Every occurrence of InstDir's value (ignoring case) replaced by "%InstDir%".
std::string CollapseInstDir(std::string_view text, const InstallerVariables& variables);

// [ResDir]\resources\manifest, else [InstDir]\resources\manifest.
std::string InstalledManifestPath(const InstallerVariables& variables);

// The installed manifest's text (CR LF line ends); adds the manifest itself to
// installed_files first, so that it lists itself.
std::string InstalledManifestText(InstallerState& state, const std::string& signature, const std::string& path);

// Writes the installed manifest when Install is true.
void WriteInstalledManifest(InstallerState& state, FileSystem& files, Messages& messages, const std::string& signature);

// Adds the files and folders an earlier installation of the same product listed in
// its installed manifest (`earlier`) to this run's records.
void KeepEarlierRecords(InstallerState& state, std::string_view earlier, Messages& messages);

}  // namespace inst
