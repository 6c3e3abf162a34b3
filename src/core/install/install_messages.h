// The texts the installation run shows: extraction, the run, registration and
// removal.
#pragma once

namespace inst::msg {

// The lines of the progress page's log (and the run's), indented by what they belong to.
inline constexpr const char* kInstallingFeature = "Installing %s";
inline constexpr const char* kCreatingFolder = "    Creating folder %s";
inline constexpr const char* kCopyingFile = "        Copying file %s";
inline constexpr const char* kInstallingDriver = "        Installing driver %s";
inline constexpr const char* kCopyingResources = "Copying resources";
inline constexpr const char* kCopyingResource = "    Copying file %s";
inline constexpr const char* kDeletingFile = "Deleting file %s";
inline constexpr const char* kRemovingFolder = "Removing folder %s";

inline constexpr const char* kPrerequisiteMissingTitle = "Prerequisite missing";
inline constexpr const char* kDriverFilesFailed = "Unable to install driver files";
inline constexpr const char* kDriverDevicesFailed = "Unable to driver for active devices";
inline constexpr const char* kPrerequisiteMissing =
    "The feature:\n   %s\nhas these missing prerequisites:\n%s\nand cannot be installed. Do you want to continue "
    "anyway?";
inline constexpr const char* kTerminatedForPrerequisites =
    "Installation terminated - suggest you install the prerequisites\nthen retry this installation";
inline constexpr const char* kNoFilesToCopy = "no files to copy";
inline constexpr const char* kFeatureNotInstalledTitle = "Feature not installed";
inline constexpr const char* kFeatureNotInstalled = "%s is not installed.\n%s\nDo you want to continue anyway?";
inline constexpr const char* kTerminatedPleaseInstall =
    "Installation terminated - please install %s\nthen retry this installation";
inline constexpr const char* kTerminatedSuggestInstall =
    "Installation terminated - suggest you install %s\nthen retry this installation";
inline constexpr const char* kInstallerNotFoundTitle = "Installer not found";
inline constexpr const char* kInstallerNotFound = "No installer for %s was found\n%s\nDo you want to continue anyway?";
inline constexpr const char* kInstallFailedTitle = "Install failed";
inline constexpr const char* kInstallFailed =
    "The installation of %s was not successful\n%s\nDo you want to continue anyway?";
inline constexpr const char* kRegistryWriteFailure = "Registry write failure %d";
inline constexpr const char* kCantDeleteFileTitle = "Can't delete file";
inline constexpr const char* kDeleteAtRestart = "File %s is in use: it will be deleted when the computer restarts";
// A file in use whose replacement or deletion the system would not take for the restart.
inline constexpr const char* kCantLeaveForRestart = "The file %s is in use and could not be left for the restart";
inline constexpr const char* kFileInUseForDeleting =
    "The file %s cannot be deleted -\nclose any other applications that may be using it";
inline constexpr const char* kRemovalStopped =
    "Removal stopped: %s could not be deleted.\nThe installation is still registered; remove it again once the file is "
    "free.";
inline constexpr const char* kCouldNotCreate = "Could not create %s";
inline constexpr const char* kNoStartMenu = "Unable to determine location of start menu";

// Extraction: the files the payload carries, written into the installation.
inline constexpr const char* kCantCreateFileTitle = "Can't create file";
inline constexpr const char* kFileInUseForWriting =
    "The file %s cannot be written to -\nclose any other applications that may be using it";
inline constexpr const char* kReplaceAtRestart =
    "File %s is in use: the new one is written as %s and takes its place when the computer restarts";
inline constexpr const char* kCantCreateFileError = "Can't create file: %s\nError %d";
inline constexpr const char* kFileSizeMismatch = "File size does not match - file %d:%s %ld/%ld";
inline constexpr const char* kCantOpenFile = "Can't open file: %s\n%s";
inline constexpr const char* kCantCreateFileText = "Can't create file: %s\n%s";
inline constexpr const char* kShortRead = "short read on %s";
inline constexpr const char* kWriteError = "Write error on %s";
inline constexpr const char* kFolderIsNotAFolder = "Folder %s exists but is not a folder!";
inline constexpr const char* kFailedToCreateFolder = "Failed to create folder %s";
// A path from a payload or an installed manifest that resolves outside the installation.
inline constexpr const char* kOutsideInstallation = "Refused to write %s: it lies outside the installation";
inline constexpr const char* kSkippingFileOutside = "Skipping file %s: outside the installation";
inline constexpr const char* kSkippingFolderOutside = "Skipping folder %s: outside the installation";
inline constexpr const char* kReplacingEarlierVersion = "Replacing %s %s%s, installed in this folder";
inline constexpr const char* kKeepingLink = "Keeping file %s: another installation points it to %s";

inline constexpr const char* kInstalledElsewhereTitle = "Already installed";
inline constexpr const char* kInstalledElsewhere =
    "This version is already installed in %s.\nInstall into that folder, or first remove the installation there: "
    "through its entry in the list of programs, or with resources\\setup.exe --remove in that folder.";

inline constexpr const char* kFolderLettersMissing =
    "The folder %s holds letters this installer cannot use (they show as \"?\").\nChoose a folder named with the "
    "letters of this computer's language for programs.";
inline constexpr const char* kNoSuchDrive = "The folder %s is on drive %s, which does not exist on this computer.";
inline constexpr const char* kFolderTooLong =
    "The folder %s is too long: the product's deepest file would need a path of %u characters, and Windows allows "
    "%u.\nChoose a shorter folder.";
inline constexpr const char* kNotEnoughSpace =
    "Not enough space on %s for the installation: it needs %lu MB, and %lu MB are free.";

}  // namespace inst::msg
