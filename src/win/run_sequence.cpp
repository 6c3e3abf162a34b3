#include "win/run_sequence.h"

#include <cstdio>
#include <cstdlib>

#include "core/install/earlier_version.h"
#include "core/install/folder_rules.h"
#include "core/install/install_messages.h"
#include "core/install/installed_manifest.h"
#include "core/install/removal.h"
#include "core/support/os_class.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/install_folder.h"
#include "win/drivers.h"
#include "win/external_installers.h"
#include "win/free_space.h"
#include "win/interrupted_runs.h"
#include "win/shell_links.h"
#include "win/vendor_tools.h"

namespace inst::win {

namespace {

// The installers and drivers of a feature, on the real system.
class WinFeatureSteps final : public FeatureSteps {
 public:
  explicit WinFeatureSteps(Process& process)
      : state_(process.state), services_(process.services), session_(process.session), program_(process.program) {}
  void RunFeatureInstallers(FeatureRecord& feature) override {
    RunExternalInstallers(state_, services_, session_, program_, feature);
  }
  void InstallDriver(const FeatureRecord& feature) override {
    inst::win::InstallDriver(services_, state_, program_.main_window, feature);
  }

 private:
  InstallerState& state_;
  Services& services_;
  Session& session_;
  const Program& program_;
};

// The documents a repair or removal offers nothing to read.
void ForgetDocuments(InstallerVariables& variables) {
  variables.DeleteVariable(var::kReadQuickstart);
  variables.DeleteVariable(var::kReadPDFs);
}

// Beside the run's temporary folder, in the place it was made: TEMP as the runtime
// reads it may be a folder that cannot be used (letters the code page lacks).
std::string CleanupScriptPath(Process& process) {
  const std::string base(ParentFolder(process.variables().ValueOf(var::kTmpDir)).value_or("C:"));
  for (unsigned number = ::GetTickCount();; ++number) {
    const std::string path = FormatText("%s\\vrs%u.bat", base.c_str(), number & 0xFFFFu);
    if (!process.services.files.FileExists(path)) return path;
  }
}

// The command interpreter reads a script in the OEM code page: written in the ANSI
// one, an accented folder's name would name another folder.
std::string InOemCodePage(const std::string& text) {
  std::string out(text.size(), '\0');
  ::CharToOemBuffA(text.c_str(), out.data(), static_cast<DWORD>(text.size()));
  return out;
}

// The Windows 9x family's PATH is set by a line of C:\AUTOEXEC.BAT.
bool AppendToAutoexec(const std::string& name, const std::string& folder) {
  std::FILE* file = std::fopen("C:\\AUTOEXEC.BAT", "a");
  if (file == nullptr) return false;
  std::fputs(FormatText("SET %s=%%%s%%;%s\n", name.c_str(), name.c_str(), folder.c_str()).c_str(), file);
  return std::fclose(file) == 0;
}

// The message language under the product key, and the product's bin folder on PATH.
void ApplyConfiguration(Process& process) {
  const ConfigurationChoice& choice = process.configuration;
  // Not reported: the page always lets the user go on.
  if (choice.language)
    static_cast<void>(process.services.registry.RegistryWriteDword(kHKLM, process.session.product.ProductKey(),
                                                                   "language", *choice.language));
  if (!choice.add_path || process.variables().TestFlag(var::kDontAddPath)) return;
  const std::string folder = InstallationPath(process.variables(), "bin");
  const std::uint32_t os = GetOsClass();
  if (os & os_class::kWin9xFamily) {
    AppendToAutoexec("PATH", folder);
  } else if (os & os_class::kNtFamily) {
    AddPathEntry(process.services.registry, "PATH", folder);
    AnnounceEnvironmentChange();
  }
}

// A folder the installation cannot go into, or this version installed elsewhere. A
// headless run checks the space too, as the wizard's folder page shows it.
void RefuseUnfitFolder(Process& process) {
  const std::string folder = process.variables().ValueOf(var::kInstDir);
  Messages& messages = process.services.messages;
  if (const auto refusal = FolderRefusal(process.state.lists, folder, DriveExists(folder)))
    messages.FatalText(*refusal);
  if (const auto elsewhere = process.session.product.InstalledElsewhere(folder))
    messages.FatalExit(kExitInstalledElsewhere, msg::kInstalledElsewhere, elsewhere->c_str());
  if (!process.variables().TestFlag(var::kHeadlessInstall)) return;
  const std::optional<std::uint32_t> free_mb = QueryFreeSpace(process.state, SpaceQueryPath(folder));
  if (!free_mb) return;
  if (const auto refusal = SpaceRefusal(folder, process.session.run.RequiredSpaceKB(), *free_mb))
    messages.FatalText(*refusal, kExitDiskFull);
}

// The installation's steps in order, under the journal begun before them.
void InstallProduct(Process& process, const std::optional<EarlierInstallation>& earlier,
                    ToolIntegrations& integrations) {
  Services& services = process.services;
  Session& session = process.session;
  WinFeatureSteps steps(process);
  if (earlier) BeginReplacingEarlierVersion(process.state, *earlier, services.files, services.progress);
  session.product.WriteProductValues();
  services.progress.BeginStep("product files");
  session.run.RunFeatureInstallation(steps);
  if (earlier) SetAsideEarlierFiles(process.state, *earlier, services.files);
  services.progress.BeginStep("registration");
  session.product.RegisterProduct(integrations);
  services.progress.BeginStep("shortcuts");
  CreateShortcuts(process.state, services.messages, session.extractor);
  services.progress.BeginStep("installed manifest");
  WriteInstalledManifest(process.state, services.files, services.messages, process.program.manifest_signature);
  // Last: no entry in the programs list ever names a copy that cannot remove.
  services.progress.BeginStep("uninstall entry");
  session.product.WriteUninstallEntry();
  // A Cancel during the last steps, which report no progress, still takes it all back.
  if (services.progress.StopRequested()) services.messages.EndRun(kExitCancelled);
  process.state.journal.Finish();
  if (earlier)
    ForgetEarlierVersion(process.variables(), *earlier, services.system_registry, services.files, services.messages);
}

}  // namespace

void PerformRun(Process& process) {
  InstallerVariables& vars = process.variables();
  Services& services = process.services;
  Session& session = process.session;
  // An earlier installation in the chosen folder hands its plug-in index on.
  if (vars.TestFlag(var::kInstallMPLABPlugin)) LookUpMplabIndex(process.state, services.registry, session.product);
  services.progress.BeginStep("folder checks and journal");
  services.log.Write("Installation folder: " + vars.ValueOf(var::kInstDir));
  const bool install = vars.TestFlag(var::kInstall);
  // Refused before anything is written (the wizard's folder page refuses it first).
  if (install) RefuseUnfitFolder(process);
  // Until the uninstall entry is written, a failure, a Cancel or a kill takes back
  // everything the run changed, the configuration page's choices included.
  if (install &&
      !process.state.journal.Begin(services.files, NewJournalPath(services.files), vars.ValueOf(var::kInstDir)))
    services.log.Write("No journal file could be made: a run killed part-way could not be taken back");
  // Another version in the folder is replaced under this run's journal, as the wizard recommends.
  std::optional<EarlierInstallation> earlier;
  if (install && !process.state.lay_over_earlier_version)
    earlier = FindEarlierVersion(vars, services.files, services.messages, vars.ValueOf(var::kInstDir));
  // Where the configuration page would be shown: an installation or a repair.
  if (install || vars.TestFlag(var::kRepair)) ApplyConfiguration(process);
  WinToolIntegrations integrations(process.state, services, process.session.product);
  if (install) {
    InstallProduct(process, earlier, integrations);
  } else if (vars.TestFlag(var::kRepair)) {
    session.product.WriteProductValues();
    session.product.RegisterProduct(integrations);
    session.product.WriteUninstallEntry();
    CreateShortcuts(process.state, process.services.messages, process.session.extractor);
    ForgetDocuments(vars);
  }
  if (vars.TestFlag(var::kRemove)) {
    services.progress.BeginStep("removal");
    process.outcome.cleanup_script = RemoveInstallation(process.state, services.files, services.messages,
                                                        services.progress, CleanupScriptPath(process), InOemCodePage);
    session.product.UnregisterProduct();
    ForgetDocuments(vars);
  }
  // A product that is the IDE itself offers to start its own copy when it ends.
  process.outcome.tessara_path =
      vars.GetVariable("TessaraOnly") ? InstallationPath(vars, "bin\\tessara.exe") : session.product.tessara_path();
}

int RunHeadless(Process& process) {
  PerformRun(process);
  const int exit_code = FinishedExitCode(process.state);
  process.services.progress.BeginStep("clean-up");
  process.services.messages.QuitInstaller(exit_code);
  return exit_code;
}

}  // namespace inst::win
