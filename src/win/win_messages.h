// The texts the Win32 layer shows: start-up, downloads, drivers and the maker's
// tools.
#pragma once

namespace inst::msg {

inline constexpr const char* kSetupOptionsTitle = "Setup options";
inline constexpr const char* kVerifyingInstaller = "Verifying installer integrity - please wait";
inline constexpr const char* kOutOfMemory = "Ran out of memory!";
inline constexpr const char* kInternalError = "Internal error";
inline constexpr const char* kHoltekLinkDescription = "Run Holtek HT-IDE3000";
inline constexpr const char* kNeedsAdministrator = "This program requires Administrator privileges";
inline constexpr const char* kCantFindManifest = "Can't find the manifest";
inline constexpr const char* kCannotRemove =
    "This installer cannot remove an installation.\nRemove it through its uninstall entry, or run resources\\setup.exe "
    "--remove in its folder.";
inline constexpr const char* kInstallInProgressTitle = "Installation in progress";
inline constexpr const char* kInstallInProgress =
    "Another installation is in progress on this computer.\nTry again once it has ended.";
inline constexpr const char* kInterruptedTitle = "Interrupted installation";
inline constexpr const char* kInterruptedTakenBack =
    "An installation into %s was interrupted before it ended.\nWhat it had done has been taken back.";
inline constexpr const char* kInvalidManifestSignature = "Invalid manifest signature";
inline constexpr const char* kHttpsOnly = "Must start with https://";
inline constexpr const char* kServerError = "Server error %d while downloading";
inline constexpr const char* kCantCreateDownload = "Can't create file: %s: %d";
inline constexpr const char* kCantWriteDownload = "Can't write file: %s";
inline constexpr const char* kDownloadBrokeOff = "Download of %s broke off after %lu bytes";
inline constexpr const char* kDownloadDigestMismatch =
    "Downloaded file %s does not match the SHA-256 digest in the manifest";
inline constexpr const char* kDriverErrorTitle = "Driver Install Error";
inline constexpr const char* kPluginTitle = "MPLAB plugin installation";
inline constexpr const char* kPluginNoOle = "Failed: Could not initialize OLE";
inline constexpr const char* kPluginNotLoaded = "Failure: Could not load MPLAB plugin: %s";
inline constexpr const char* kPluginNoEntryPoint = "Failure: Could not find DLL self-registration entry point";
inline constexpr const char* kPluginRegistrationFailed = "Registration failed. Error code = %lX";

}  // namespace inst::msg
