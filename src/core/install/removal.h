// The removal of an installation: everything its installed manifest lists, within
// the installation's bounds, then the clean-up script that deletes the running copy
// once it has exited.
#pragma once
#include <string>
#include <vector>

#include "core/install/installer_state.h"
#include "core/support/messages.h"
#include "core/support/os.h"

namespace inst {

// How many times the clean-up script tries to delete the installer's copy, about a
// second apart, before it gives up on it.
inline constexpr int kCleanupTries = 60;

// The clean-up script: deletes the copy once its process has exited (giving up after
// about a minute), removes the folders that were still in use, deletes itself.
std::string CleanupScriptText(const std::string& setup, const std::vector<std::string>& folders_left,
                              const std::string& script);

// The script's text in the code page its interpreter reads it in.
using ScriptEncoder = std::string (*)(const std::string& text);
inline std::string AsWritten(const std::string& text) { return text; }

// Deletes every listed file and folder (the bar falls from 100) and writes the
// clean-up script at `script_path`, through `encode`; returns that path.
std::string RemoveInstallation(InstallerState& state, FileSystem& files, Messages& messages, Progress& progress,
                               const std::string& script_path, ScriptEncoder encode = AsWritten);

}  // namespace inst
