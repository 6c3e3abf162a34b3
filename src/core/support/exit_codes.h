// The exit codes the installer ends with, as deployment tools read them.
#pragma once

namespace inst {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
// Another installation holds the machine's installation guard: try again later.
inline constexpr int kExitInstallInProgress = 1618;

}  // namespace inst
