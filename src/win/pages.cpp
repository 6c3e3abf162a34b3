#include "pages.h"

#include <cstdlib>

#include "../core/installed_manifest.h"
#include "external_installers.h"
#include "shell_links.h"
#include "tool_integrations.h"

namespace inst::win {

namespace {

// The installers and drivers of a feature, on the real system.
class WinFeatureSteps final : public FeatureSteps {
 public:
  explicit WinFeatureSteps(Process& process) : process_(process) {}
  void RunFeatureInstallers(FeatureRecord& feature) override { RunExternalInstallers(process_, feature); }
  void InstallDriver(const FeatureRecord& feature) override { inst::win::InstallDriver(process_, feature); }

 private:
  Process& process_;
};

// A headless run has no window: navigation only needs to know that, and how to end.
class HeadlessFrame final : public WizardFrame {
 public:
  explicit HeadlessFrame(Process& process) : process_(process) {}
  bool Headless() override { return true; }
  void EnableNext(bool) override {}
  void EnableBack(bool) override {}
  void EnableCancel(bool) override {}
  void SetNextText(const char*) override {}
  void Repaint() override {}
  void Finish() override { process_.messages.QuitInstaller(0); }

 private:
  Process& process_;
};

void ForgetDocuments(Process& process) {
  process.variables().DeleteVariable("ReadQuickstart");
  process.variables().DeleteVariable("ReadPDFs");
}

std::string CleanupScriptPath() {
  char* name = ::_tempnam(nullptr, "vrs");
  std::string path = name ? name : "C:\\vrs";
  std::free(name);
  return path + ".bat";
}

// The pages that only ask and show: a run without a window passes them by. Their
// faces for the wizard window are built on the window.
std::uint32_t Skip(std::uint32_t, bool) { return kPageSkip; }

}  // namespace

void RunProgressPageWork(Process& process) {
  InstallerVariables& vars = process.variables();
  WinToolIntegrations integrations(process);
  if (vars.TestFlag("Install")) {
    WinFeatureSteps steps(process);
    process.run.RunFeatureInstallation(process.product, steps);
    process.product.RegisterProduct(integrations);
    CreateShortcuts(process);
    WriteInstalledManifest(process.state, process.files, process.messages, process.manifest_signature);
  } else if (vars.TestFlag("Repair")) {
    process.product.RegisterProduct(integrations);
    CreateShortcuts(process);
    ForgetDocuments(process);
  }
  if (vars.TestFlag("Remove")) {
    process.cleanup_script =
        RemoveInstallation(process.state, process.files, process.messages, *process.progress, CleanupScriptPath());
    process.product.UnregisterProduct();
    ForgetDocuments(process);
  }
}

std::vector<PageRecord> MakePageTable(Process& process) {
  PageProc copy_files = [&process](std::uint32_t event, bool) -> std::uint32_t {
    if (event == WZ_ENTER) {
      RunProgressPageWork(process);
      return kPageSkip | kPageLockBack;
    }
    if (process.variables().TestFlag("HeadlessInstall")) ForgetDocuments(process);
    return kPageLockBack;
  };
  return {
      {true, "Welcome", "Preparing to install", Skip},
      {true, "Licence", "Licence Agreement", Skip},
      {true, "Installdir", "Choose installation folder", Skip},
      {true, "Configuration", "Custom configuration", Skip},
      {true, "Copyfiles", "Installing new files", copy_files},
      {true, "Complete", "Installation complete", Skip},
  };
}

void RunHeadless(Process& process) {
  HeadlessFrame frame(process);
  Wizard wizard(MakePageTable(process), frame);
  wizard.GoToPage(0);
}

}  // namespace inst::win
