#include "pages.h"

#include <commctrl.h>

#include <cstdlib>

#include "core/manifest/installed_manifest.h"
#include "external_installers.h"
#include "shell_links.h"
#include "tool_integrations.h"

namespace inst::win {

namespace {

constexpr int kIdRemove = 601;
constexpr int kIdRepair = 602;
constexpr int kIdLog = 501;
constexpr int kIdBar = 502;
constexpr std::size_t kLogLimit = 10000;
constexpr std::size_t kLogCut = 5000;
constexpr std::size_t kMaxLogLine = 2047;

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

bool Checked(HWND button) { return button && ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The pages that only ask and show come as the wizard grows; until then they let
// every run pass.
std::uint32_t Skip(std::uint32_t, bool) { return kPageSkip; }

// The welcome page: the product greets the user, or the installed copy offers to
// repair or remove the installation.
class WelcomePage {
 public:
  WelcomePage(Process& process, MainWindow* window) : process_(process), window_(window) {}

  std::uint32_t OnEvent(std::uint32_t event) {
    InstallerVariables& vars = process_.variables();
    if (vars.TestFlag("HeadlessInstall") || vars.TestFlag("DoProceed") || window_ == nullptr) return kPageSkip;
    if (event == WZ_ENTER) return Enter();
    return Leave();
  }

  bool OnCommand(int id) {
    if (id != kIdRemove && id != kIdRepair) return false;
    UpdateNext();
    return true;
  }

 private:
  HWND Create(const char* text, int id, DWORD style) {
    return ::CreateWindowExA(0, "BUTTON", text, WS_CHILD | style, 0, 0, 0, 0, window_->handle(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), process_.instance, nullptr);
  }

  std::uint32_t Enter() {
    InstallerVariables& vars = process_.variables();
    const bool install = vars.TestFlag("Install");
    if (!text_) {
      frame_ = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_BORDER, 0, 0, 0, 0, window_->handle(), nullptr,
                                 process_.instance, nullptr);
      if (install) {
        const std::string* patch = vars.GetVariable("PatchLevel");
        const bool plain = patch == nullptr || EqualsIgnoreCase(*patch, "PL0");
        text_ = vars.ExpandVariables(plain ? "This program will install\n[Description] version [Version].\nPress Next to continue."
                                           : "This program will install\n[Description] version [Version][PatchLevel].\nPress Next to continue.");
      } else {
        const bool remove = vars.TestFlag("Remove");
        text_ = vars.ExpandVariables(
            remove ? "This program will remove\n[Description] version [FullVersion].\nSelect an option and press Next to continue."
                   : "This program will repair or remove\n[Description] version [FullVersion].\nSelect an option and press Next to continue.");
        if (!remove) repair_ = Create("Repair the installation", kIdRepair, BS_AUTORADIOBUTTON | WS_TABSTOP);
        remove_ = Create("&Remove the installation", kIdRemove, BS_AUTORADIOBUTTON | WS_TABSTOP);
        if (remove) ::SendMessageA(remove_, BM_SETCHECK, BST_CHECKED, 0);
        if (repair_) {
          window_->PlaceControl(frame_, 25, 205, 350, 35);
          window_->PlaceControl(repair_, 30, 210, 340, 10);
        } else {
          window_->PlaceControl(frame_, 25, 220, 350, 20);
        }
        window_->PlaceControl(remove_, 30, 225, 340, 10);
        window_->EnableNext(false);
      }
    }
    if (repair_ || remove_) {
      for (HWND control : {frame_, repair_, remove_})
        if (control) ::ShowWindow(control, SW_SHOW);
    }
    window_->SetPageText(text_);
    if (install && vars.TestFlag("CheckInstalledVersions") && !InstalledVersionAllowsInstall()) {
      process_.messages.QuitInstaller(1);
      ::ExitProcess(1);
    }
    UpdateNext();
    return 0;
  }

  std::uint32_t Leave() {
    InstallerVariables& vars = process_.variables();
    vars.SetFlag("Remove", Checked(remove_));
    vars.SetFlag("Repair", !vars.TestFlag("Remove"));
    if (vars.TestFlag("Remove") &&
        !process_.messages.AskYesNo("Remove installation", "Are you sure you want to completely remove\n%s V%s?",
                                    vars.ValueOf("Description").c_str(), vars.ValueOf("Version").c_str())) {
      return kPageStay;
    }
    for (HWND control : {frame_, repair_, remove_})
      if (control) ::ShowWindow(control, SW_HIDE);
    window_->SetPageText(std::nullopt);
    return 0;
  }

  void UpdateNext() {
    const bool on = process_.variables().TestFlag("Install") || Checked(repair_) || Checked(remove_);
    window_->EnableNext(on);
    if (on) ::SetFocus(window_->Control(kIdNext));
  }

  // False when a newer version is installed and the user does not want this one.
  bool InstalledVersionAllowsInstall() {
    InstallerVariables& vars = process_.variables();
    const std::string key = vars.ExpandVariables(vars.GetVariable("Edition") ? "SOFTWARE\\[Manufacturer]\\[Product]\\[Edition]"
                                                                             : "SOFTWARE\\[Manufacturer]\\[Product]");
    const std::string this_version = vars.VersionBase();
    const SubkeyList versions = process_.registry.RegistryListSubkeys(kHKLM, key);
    if (versions.error != 0) return proceed_;
    std::string installed;
    if (vars.GetVariable("Product") && *vars.GetVariable("Product") == "MPLAB Plugin") {
      installed = PluginCurrentVersion(process_).value_or("");
    } else {
      constexpr std::size_t kMaxVersionName = 9;
      for (const std::string& name : versions.names) installed = std::max(installed, name.substr(0, kMaxVersionName));
    }
    if (!installed.empty() && installed > this_version) {
      proceed_ = process_.messages.AskYesNo(
          "Install older version?", "A newer version (%s) of %s, is already installed.\nAre you sure you want to install version (%s)?",
          installed.c_str(), vars.ValueOf("Product").c_str(), this_version.c_str());
    }
    return proceed_;
  }

  Process& process_;
  MainWindow* window_;
  std::optional<std::string> text_;
  HWND frame_ = nullptr;
  HWND repair_ = nullptr;
  HWND remove_ = nullptr;
  bool proceed_ = true;
};

// The progress page: does the run's work with a log and a bar, then moves on.
class ProgressPage final : public Progress {
 public:
  ProgressPage(Process& process, MainWindow* window) : process_(process), window_(window) {}

  std::uint32_t OnEvent(std::uint32_t event) {
    InstallerVariables& vars = process_.variables();
    const bool headless = vars.TestFlag("HeadlessInstall") || window_ == nullptr;
    if (event == WZ_ENTER) {
      if (!headless) Show();
      RunProgressPageWork(process_);
      return kPageSkip | kPageLockBack;
    }
    if (headless) {
      ForgetDocuments(process_);
    } else {
      ::ShowWindow(log_, SW_HIDE);
      ::ShowWindow(bar_, SW_HIDE);
      window_->SetPageText(std::nullopt);
    }
    return kPageLockBack;
  }

  void ReportProgress(int percent, const char* text) override {
    if (percent == -1) {
      ::ShowWindow(bar_, SW_HIDE);
      bar_hidden_ = true;
    } else {
      if (bar_hidden_) {
        ::ShowWindow(bar_, SW_SHOW);
        bar_hidden_ = false;
      }
      ::SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
    if (text != nullptr) AppendLog(text);
    MSG message;
    if (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && !::IsDialogMessageA(window_->handle(), &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
  }

 private:
  void Show() {
    const bool remove = process_.variables().TestFlag("Remove");
    window_->SetPageText(std::string(remove ? "Uninstalling files and updating the registry"
                                            : "Installing files and updating the registry"));
    if (log_ == nullptr) {
      log_ = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER, 0, 0, 0, 0,
                               window_->handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLog)), process_.instance,
                               nullptr);
      bar_ = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_BORDER, 0, 0, 0, 0, window_->handle(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdBar)), process_.instance, nullptr);
      window_->PlaceControl(log_, 25, 162, 350, 62, WS_BORDER);
      window_->PlaceControl(bar_, 25, 230, 350, 10, WS_BORDER);
      ::SendMessageA(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    }
    ::SetWindowTextA(log_, "");
    ::ShowWindow(log_, SW_SHOW);
    ::ShowWindow(bar_, SW_SHOW);
    window_->EnableNext(false);
    window_->EnableBack(false);
    process_.progress_relay.target = this;
    ::UpdateWindow(window_->handle());
  }

  void AppendLog(const char* text) {
    std::size_t length = static_cast<std::size_t>(::GetWindowTextLengthA(log_));
    if (length > kLogLimit) {
      // The oldest lines go, so that the line written last stays at the end.
      ::SendMessageA(log_, EM_SETSEL, 0, kLogCut);
      ::SendMessageA(log_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
      length = static_cast<std::size_t>(::GetWindowTextLengthA(log_));
    }
    std::string line = text;
    std::size_t start = length;
    if (!line.empty() && line[0] == '\r') {
      line.erase(0, 1);
      start = length >= last_line_length_ ? length - last_line_length_ : 0;
    }
    line = (line + "\r\n").substr(0, kMaxLogLine);
    ::SendMessageA(log_, EM_SETSEL, start, length);
    ::SendMessageA(log_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    ::SendMessageA(log_, EM_SCROLLCARET, 0, 0);
    ::UpdateWindow(log_);
    last_line_length_ = line.size();
  }

  Process& process_;
  MainWindow* window_;
  HWND log_ = nullptr;
  HWND bar_ = nullptr;
  bool bar_hidden_ = false;
  std::size_t last_line_length_ = 0;
};

struct PageSet {
  PageSet(Process& process, MainWindow* window) : welcome(process, window), progress(process, window) {}
  WelcomePage welcome;
  ProgressPage progress;

  std::vector<PageRecord> Table() {
    return {
        {true, "Welcome", "Preparing to install", [this](std::uint32_t e, bool) { return welcome.OnEvent(e); }},
        {true, "Licence", "Licence Agreement", Skip},
        {true, "Installdir", "Choose installation folder", Skip},
        {true, "Configuration", "Custom configuration", Skip},
        {true, "Copyfiles", "Installing new files", [this](std::uint32_t e, bool) { return progress.OnEvent(e); }},
        {true, "Complete", "Installation complete", Skip},
    };
  }
};

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

void RunHeadless(Process& process) {
  HeadlessFrame frame(process);
  PageSet pages(process, nullptr);
  Wizard wizard(pages.Table(), frame);
  wizard.GoToPage(0);
}

int RunWizard(Process& process) {
  MainWindow window(process);
  PageSet pages(process, &window);
  std::vector<PageCommand> commands(6);
  commands[0] = [&pages](int id) { return pages.welcome.OnCommand(id); };
  if (!window.Create(pages.Table(), std::move(commands))) process.messages.FatalError("Can't create the installer window");
  process.status = &window;
  window.GoToPage(0);
  const int code = window.RunMessageLoop();
  process.progress_relay.target = nullptr;
  process.status = nullptr;
  process.main_window = nullptr;
  return code;
}

}  // namespace inst::win
