#include "win/pages/welcome_page.h"

#include <algorithm>

#include "core/install/vendor_tools.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"

namespace inst::win {

// An installed copy told to proceed without questions passes the page.
bool WelcomePage::Passed() const { return process_.variables().TestFlag(var::kDoProceed); }

std::uint32_t WelcomePage::Enter(bool) {
  if (Passed()) return kPageSkip;
  InstallerVariables& vars = process_.variables();
  const bool install = vars.TestFlag(var::kInstall);
  if (!text_) {
    frame_ = window_.CreateControl("STATIC", "", WS_BORDER);
    if (install) {
      const std::string* patch = vars.GetVariable(var::kPatchLevel);
      const bool plain = patch == nullptr || EqualsIgnoreCase(*patch, "PL0");
      text_ = vars.ExpandVariables(plain ? msg::kWelcomeInstall : msg::kWelcomeInstallPatchLevel);
    } else {
      const bool remove = vars.TestFlag(var::kRemove);
      text_ = vars.ExpandVariables(remove ? msg::kWelcomeRemove : msg::kWelcomeRepairOrRemove);
      if (!remove)
        repair_ =
            window_.CreateControl("BUTTON", msg::kRepairChoice, BS_AUTORADIOBUTTON | WS_TABSTOP, control::kRepair);
      remove_ = window_.CreateControl("BUTTON", msg::kRemoveChoice, BS_AUTORADIOBUTTON | WS_TABSTOP, control::kRemove);
      if (remove) ::SendMessageA(remove_, BM_SETCHECK, BST_CHECKED, 0);
      if (repair_) {
        window_.PlaceControl(frame_, 25, 205, 350, 35);
        window_.PlaceControl(repair_, 30, 210, 340, 10);
      } else {
        window_.PlaceControl(frame_, 25, 220, 350, 20);
      }
      window_.PlaceControl(remove_, 30, 225, 340, 10);
      window_.EnableNext(false);
    }
  }
  if (repair_ || remove_) ShowControls({frame_, repair_, remove_}, true);
  window_.SetPageText(text_);
  if (install && vars.TestFlag(var::kCheckInstalledVersions) && !InstalledVersionAllowsInstall()) {
    // The user declined to install over what is there.
    process_.services.messages.EndRun(kExitCancelled);
  }
  UpdateNext();
  return 0;
}

std::uint32_t WelcomePage::Leave(bool) {
  if (Passed()) return 0;
  InstallerVariables& vars = process_.variables();
  vars.SetFlag(var::kRemove, Checked(remove_));
  vars.SetFlag(var::kRepair, !vars.TestFlag(var::kRemove));
  if (vars.TestFlag(var::kRemove) &&
      !process_.services.messages.AskYesNo(msg::kRemoveInstallationTitle, msg::kRemoveInstallation,
                                           vars.ValueOf(var::kDescription).c_str(),
                                           vars.ValueOf(var::kVersion).c_str())) {
    return kPageStay;
  }
  window_.ShowRunMode();
  ShowControls({frame_, repair_, remove_}, false);
  window_.SetPageText(std::nullopt);
  return 0;
}

bool WelcomePage::Command(int id) {
  if (Passed() || (id != control::kRemove && id != control::kRepair)) return false;
  UpdateNext();
  return true;
}

void WelcomePage::UpdateNext() {
  const bool on = process_.variables().TestFlag(var::kInstall) || Checked(repair_) || Checked(remove_);
  window_.EnableNext(on);
  if (on) ::SetFocus(window_.Control(control::kNext));
}

bool WelcomePage::InstalledVersionAllowsInstall() {
  InstallerVariables& vars = process_.variables();
  const std::optional<std::string> installed =
      NewestInstalledVersion(vars, process_.services.registry, process_.services.files);
  if (!installed) return proceed_;
  const std::string this_version = vars.VersionBase();
  if (!installed->empty() && *installed > this_version) {
    proceed_ = process_.services.messages.AskYesNo(msg::kInstallOlderVersionTitle, msg::kInstallOlderVersion,
                                                   installed->c_str(), vars.ValueOf(var::kProduct).c_str(),
                                                   this_version.c_str());
  }
  return proceed_;
}

}  // namespace inst::win
