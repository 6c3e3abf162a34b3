// The process-wide state of one installer run: the variable store and the lists
// that every part of the installer shares, and the run's own records. One instance lives in the Win32 layer's
// process object; unit tests make their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/install/install_journal.h"
#include "core/manifest/manifest.h"
#include "core/support/exit_codes.h"

namespace inst {

// What the manifest filled in, and what the run keeps track of as it works.
struct InstallerState : ManifestState {
  using ManifestState::ManifestState;

  // What the installation run has changed so far, for a run that fails.
  InstallJournal journal;

  // Progress of the installation run: bytes per percent (0: none reported) and
  // bytes counted so far.
  std::uint32_t progress_unit = 0;
  std::uint32_t progress_done = 0;
  // Payload records consumed so far, resources included.
  std::uint32_t file_ordinal = 0;
  // Bytes per allocation unit of the drive queried last (0: not queried yet).
  std::uint32_t cluster_size = 0;

  // The program is the copy in an installation's "resources" folder: InstDir is that
  // installation's folder.
  bool running_installed_copy = false;
  // Files in use were left to be replaced or deleted when the computer next starts.
  bool restart_needed = false;
  // The wizard's user chose to write over another version in the folder rather than
  // have it replaced.
  bool lay_over_earlier_version = false;

  // The MPLAB plug-in index chosen on the install-folder page; -1 for none.
  int mplab_plugin_index = -1;
};

// The exit code of a run that went to its end.
inline int FinishedExitCode(const InstallerState& state) {
  return state.restart_needed ? kExitRestartNeeded : kExitSuccess;
}

}  // namespace inst
