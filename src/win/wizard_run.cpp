#include "win/wizard_run.h"

#include "core/wizard/wizard_messages.h"
#include "win/main_window.h"
#include "win/pages/completion_page.h"
#include "win/pages/configuration_page.h"
#include "win/pages/install_folder_page.h"
#include "win/pages/licence_page.h"
#include "win/pages/progress_page.h"
#include "win/pages/welcome_page.h"

namespace inst::win {

namespace {

// The pages, owned together for the length of one run.
struct PageSet {
  PageSet(Process& process, MainWindow& window)
      : welcome(process, window),
        licence(process, window),
        install_folder(process, window),
        configuration(process, window),
        progress(process, window),
        complete(process, window) {}

  std::vector<PageRecord> Table() {
    return {
        {true, "Welcome", msg::kWelcomePageTitle, &welcome},
        {true, "Licence", msg::kLicencePageTitle, &licence},
        {true, "Installdir", msg::kInstallFolderPageTitle, &install_folder},
        {true, "Configuration", msg::kConfigurationPageTitle, &configuration},
        {true, "Copyfiles", msg::kProgressPageTitle, &progress},
        {true, "Complete", msg::kCompletionPageTitle, &complete},
    };
  }

  WelcomePage welcome;
  LicencePage licence;
  InstallFolderPage install_folder;
  ConfigurationPage configuration;
  ProgressPage progress;
  CompletionPage complete;
};

}  // namespace

int RunWizard(Process& process) {
  // The window stops dispatching before it is destroyed, so the pages may go first.
  MainWindow window(process);
  PageSet pages(process, window);
  if (!window.Create(pages.Table())) process.services.messages.FatalError(msg::kCantCreateWindow);
  process.program.status = &window;
  window.GoToPage(0);
  const int code = window.RunMessageLoop();
  process.services.progress.target = nullptr;
  process.program.status = nullptr;
  return code;
}

}  // namespace inst::win
