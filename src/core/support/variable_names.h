// The names of the installer's variables and flags that more than one place reads
// or sets, spelt once. (Names are matched without regard to case.)
#pragma once

namespace inst::var {

inline constexpr char kBuildNo[] = "BuildNo";
inline constexpr char kCheckInstalledVersions[] = "CheckInstalledVersions";
inline constexpr char kDescription[] = "Description";
inline constexpr char kDoProceed[] = "DoProceed";
inline constexpr char kDontAddPath[] = "DontAddPath";
// The configuration page's choices from the command line ("--language=", "--add-path").
inline constexpr char kMessageLanguage[] = "MessageLanguage";
inline constexpr char kAddPath[] = "AddPath";
// The wizard's language from the command line ("--ui-language=").
inline constexpr char kUiLanguage[] = "UiLanguage";
inline constexpr char kEdition[] = "Edition";
inline constexpr char kFullVersion[] = "FullVersion";
inline constexpr char kHeadlessInstall[] = "HeadlessInstall";
inline constexpr char kHoltekIDEPath[] = "HoltekIDEPath";
inline constexpr char kInstDir[] = "InstDir";
inline constexpr char kInstall[] = "Install";
inline constexpr char kInstallMPLABPlugin[] = "InstallMPLABPlugin";
inline constexpr char kJava[] = "JAVA";
inline constexpr char kLicenceAgreed[] = "LicenceAgreed";
inline constexpr char kLogFile[] = "LogFile";
inline constexpr char kManufacturer[] = "Manufacturer";
inline constexpr char kOrderingURL[] = "OrderingURL";
inline constexpr char kPatchLevel[] = "PatchLevel";
inline constexpr char kProduct[] = "Product";
inline constexpr char kProgramFiles[] = "ProgramFiles";
inline constexpr char kReadPDFs[] = "ReadPDFs";
inline constexpr char kReadQuickstart[] = "ReadQuickstart";
inline constexpr char kRemove[] = "Remove";
inline constexpr char kRepair[] = "Repair";
inline constexpr char kResDir[] = "ResDir";
inline constexpr char kSetup[] = "SETUP";
inline constexpr char kShortcutFolder[] = "ShortcutFolder";
inline constexpr char kShowHelp[] = "ShowHelp";
inline constexpr char kSubInstall[] = "SubInstall";
inline constexpr char kTmpDir[] = "TmpDir";
inline constexpr char kUnattended[] = "Unattended";
inline constexpr char kVersion[] = "Version";

}  // namespace inst::var
