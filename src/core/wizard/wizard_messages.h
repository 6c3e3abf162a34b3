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
// Refused before any language is chosen: it stays English.
inline constexpr const char* kUnknownUiLanguage =
    "--ui-language=%s: no such language; choose en, de, fr or one the product carries";
inline constexpr const char* kPathNotOffered = "--add-path: this product does not put its folder on PATH";

// The wizard's own words: buttons, page titles, page texts and labels.
inline constexpr const char* kBackButton = "< Back";
inline constexpr const char* kNextButton = "Next >";
inline constexpr const char* kNextButtonShort = "Next";
inline constexpr const char* kFinishButton = "Finish";
inline constexpr const char* kCancelButton = "Cancel";
inline constexpr const char* kWelcomePageTitle = "Preparing to install";
inline constexpr const char* kLicencePageTitle = "Licence Agreement";
inline constexpr const char* kInstallFolderPageTitle = "Choose installation folder";
inline constexpr const char* kConfigurationPageTitle = "Custom configuration";
inline constexpr const char* kProgressPageTitle = "Installing new files";
inline constexpr const char* kCompletionPageTitle = "Installation complete";
inline constexpr const char* kRemovingWindowTitle = "Removing %s";
inline constexpr const char* kInstallingWindowTitle = "Installing %s";
inline constexpr const char* kRepairingWindowTitle = "Repairing %s";
inline constexpr const char* kSetupWindowTitle = "%s Setup";
inline constexpr const char* kWelcomeInstall =
    "This program will install\n[Description] version [Version].\nPress Next to continue.";
inline constexpr const char* kWelcomeInstallPatchLevel =
    "This program will install\n[Description] version [Version][PatchLevel].\nPress Next to continue.";
inline constexpr const char* kWelcomeRemove =
    "This program will remove\n[Description] version [FullVersion].\nSelect an option and press Next to continue.";
inline constexpr const char* kWelcomeRepairOrRemove =
    "This program will repair or remove\n[Description] version [FullVersion].\nSelect an option and press Next to "
    "continue.";
inline constexpr const char* kRepairChoice = "Re&pair the installation";
inline constexpr const char* kRemoveChoice = "&Remove the installation";
inline constexpr const char* kAcceptLicence = "I &accept the terms of the licence agreement";
inline constexpr const char* kChooseFolderText =
    "Please choose the folder to install into, then click Next to complete the installation.";
inline constexpr const char* kChooseComponentsText =
    "Please select components to install, and choose the installation folder, then click Next to complete the "
    "installation.";
inline constexpr const char* kDownloadMarkNote = "\n\nComponents marked with ** will be downloaded from the website.";
inline constexpr const char* kInstalledComponent = "%s (installed)";
inline constexpr const char* kDownloadedComponent = "** %s";
inline constexpr const char* kSpaceAvailable = "Space available: %lu MB";
inline constexpr const char* kSpaceRequired = "Space required: %.1f MB";
inline constexpr const char* kConfigurationText =
    "Customize your installation.\n\nChoose the preferred language for error, warning and advisory messages.";
inline constexpr const char* kConfigurationPathNote =
    " For command line usage, you may also choose to have the executables added to your environment PATH.";
inline constexpr const char* kLanguageLabel = "  &Language to use for messages";
inline constexpr const char* kAddToPath = "&Add to environment path";
inline constexpr const char* kUninstallingFiles = "Uninstalling files and updating the registry";
inline constexpr const char* kInstallingFiles = "Installing files and updating the registry";
inline constexpr const char* kDownloadingStatus = "Downloading %s from the website, please wait...";
inline constexpr const char* kInstallingComponentsStatus =
    "Installing components - Please wait, this may take several minutes";
inline constexpr const char* kRunTessara = "Run TESSARA now ?";
inline constexpr const char* kReadQuickstart = "Read quickstart guide now ?";
inline constexpr const char* kWouldYouLikeToRead = "Would you like to read the";
inline constexpr const char* kUninstalledText =
    "[Description] V[Version][PatchLevel] has been successfully uninstalled.";
inline constexpr const char* kInstalledText =
    "Congratulations!\n[Description] version [Version] has been successfully installed";
inline constexpr const char* kInstalledTextPatchLevel =
    "Congratulations!\n[Description] version [Version][PatchLevel] has been successfully installed";
inline constexpr const char* kOnlineHelpLink = "On-line help";
inline constexpr const char* kOrderingLink = "Ordering Information";
inline constexpr const char* kRepairedText = "[Description] version [Version] has been successfully repaired.";

}  // namespace inst::msg
