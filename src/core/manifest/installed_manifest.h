// What an installation leaves to be repaired or removed later: the installed
// manifest in its resources folder, and the removal of everything it lists with the
// clean-up script that deletes the running copy once it has exited.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "core/support/installer_state.h"
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
void KeepEarlierRecords(InstallerState& state, std::string_view earlier);

// How many times the clean-up script tries to delete the installer's copy, about a
// second apart, before it gives up on it.
inline constexpr int kCleanupTries = 60;

// The clean-up script: deletes the copy once its process has exited (giving up after
// about a minute), removes the folders that were still in use, deletes itself.
std::string CleanupScriptText(const std::string& setup, const std::vector<std::string>& folders_left,
                              const std::string& script);

// Deletes every listed file and folder (the bar falls from 100) and writes the
// clean-up script at `script_path`; returns that path.
std::string RemoveInstallation(InstallerState& state, FileSystem& files, Messages& messages, Progress& progress,
                               const std::string& script_path);

}  // namespace inst
