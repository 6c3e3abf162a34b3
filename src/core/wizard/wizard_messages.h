// The texts the wizard's pages show, and the questions they ask.
#pragma once

namespace inst::msg {

inline constexpr const char* kCantFindVariable = "Can't find variable \"%s\" in manifest";
inline constexpr const char* kSyntaxErrorInVariable = "Syntax error in value of variable \"%s\"";
inline constexpr const char* kCancelSetupTitle = "Cancel setup";
inline constexpr const char* kCancelSetup = "Setup is not complete;\nare you sure you want to quit?";
inline constexpr const char* kRemoveInstallationTitle = "Remove installation";
inline constexpr const char* kRemoveInstallation = "Are you sure you want to completely remove\n%s V%s?";
inline constexpr const char* kInstallOlderVersionTitle = "Install older version?";
inline constexpr const char* kInstallOlderVersion =
    "A newer version (%s) of %s, is already installed.\nAre you sure you want to install version (%s)?";
inline constexpr const char* kNoLicence = "Could not find licence agreement";
inline constexpr const char* kNoPdfCheckbox = "Couldn't create pdf checkbox!";
inline constexpr const char* kBadFolderTitle = "Bad installation folder";
inline constexpr const char* kFolderNotFullPath = "Please give the full path of a folder, such as C:\\Tools";
inline constexpr const char* kFolderIsAFile = "Already exists but is not a folder!";
inline constexpr const char* kPreviousInstallationTitle = "Previous Installation";
inline constexpr const char* kRemovePreviousInstallation =
    "There is a previous installation in that location.\nDo you want to remove it (recommended)?";
inline constexpr const char* kOverwritePreviousInstallation = "Then is it OK to overwrite the previous installation?";
inline constexpr const char* kCantCreateWindow = "Can't create the installer window";
inline constexpr const char* kQuickstartTitle = "Quickstart";
inline constexpr const char* kNoQuickstartGuide = "Could not locate quickstart guide:\n %s";
inline constexpr const char* kReadPdfTitle = "Read PDF";
inline constexpr const char* kNoDocument = "Could not locate the \"%s\":\n %s";

inline constexpr const char* kRestartToFinish =
    "\n\nSome files were in use. Restart the computer to finish: they are replaced or removed then.";

// What screen readers call the controls that show no label.
inline constexpr const char* kLicenceTextName = "Licence agreement";
inline constexpr const char* kFolderName = "Installation folder";
inline constexpr const char* kSpaceRequiredName = "Space required";
inline constexpr const char* kSpaceAvailableName = "Space available";
inline constexpr const char* kLogName = "Progress log";
inline constexpr const char* kBarName = "Progress";
inline constexpr const char* kStatusName = "Status";

inline constexpr const char* kUnknownLanguage = "--language=%s: no such language; choose German, English or French";
inline constexpr const char* kPathNotOffered = "--add-path: this product does not put its folder on PATH";

}  // namespace inst::msg
