// The exit codes the installer ends with, as deployment tools and package managers
// read them (the numbers are Windows' own error codes for these cases).
#pragma once

namespace inst {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
// A command-line option refused (an empty or relative --dir=, an argument too long).
inline constexpr int kExitBadOption = 87;
// Not enough space on the disk, found before writing or when it filled.
inline constexpr int kExitDiskFull = 112;
// Cancelled by the user, or a question answered No (by a person or by rule).
inline constexpr int kExitCancelled = 1602;
// Another installation holds the machine's installation guard: try again later.
inline constexpr int kExitInstallInProgress = 1618;
// This product version is installed in another folder.
inline constexpr int kExitInstalledElsewhere = 1638;
// Done, but files in use are replaced or deleted at the next restart.
inline constexpr int kExitRestartNeeded = 3010;

// Codes of a run that did what it was asked (its changes are kept).
inline bool IsSuccessCode(int code) { return code == kExitSuccess || code == kExitRestartNeeded; }

// What a code means, as the log's last line and standard error say it.
inline const char* ExitCodeMeaning(int code) {
  switch (code) {
    case kExitSuccess:
      return "done";
    case kExitRestartNeeded:
      return "done; a restart is needed to finish";
    case kExitBadOption:
      return "a command-line option was refused";
    case kExitDiskFull:
      return "not enough disk space";
    case kExitCancelled:
      return "cancelled";
    case kExitInstallInProgress:
      return "another installation is in progress";
    case kExitInstalledElsewhere:
      return "this version is installed in another folder";
    default:
      return "failed";
  }
}

}  // namespace inst
