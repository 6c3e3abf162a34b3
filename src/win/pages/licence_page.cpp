#include "win/pages/licence_page.h"

#include "core/support/variable_names.h"
#include "core/wizard/licence.h"
#include "core/wizard/wizard_messages.h"

namespace inst::win {

std::uint32_t LicencePage::Enter(bool) {
  InstallerVariables& vars = process_.variables();
  if (vars.TestFlag(var::kRemove)) return kPageSkip;
  if (text_box_ == nullptr) {
    const std::optional<std::string> text = ReadLicenceText(process_.services.files, vars.GetVariable("LICENCE"));
    if (!text) process_.services.messages.FatalError(msg::kNoLicence);
    text_box_ = window_.CreateControl("EDIT", text->c_str(), ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER,
                                      control::kLicenceText, msg::kLicenceTextName);
    accept_ = window_.CreateControl("BUTTON", msg::kAcceptLicence, BS_AUTOCHECKBOX | WS_TABSTOP | WS_BORDER,
                                    control::kAccept);
    window_.PlaceControl(text_box_, 25, 75, 350, 150);
    window_.PlaceControl(accept_, 25, 230, 350, 10);
  }
  // A user who comes back keeps the tick given before.
  window_.EnableNext(Checked(accept_));
  ShowControls({text_box_, accept_}, true);
  ::SetFocus(text_box_);
  return 0;
}

std::uint32_t LicencePage::Leave(bool) {
  if (text_box_ == nullptr) return 0;
  window_.SetPageText(std::nullopt);
  ShowControls({text_box_, accept_}, false);
  return 0;
}

bool LicencePage::Command(int id) {
  if (id != control::kAccept || accept_ == nullptr) return false;
  const bool accepted = Checked(accept_);
  window_.EnableNext(accepted);
  if (accepted) ::SetFocus(window_.Control(control::kNext));
  return true;
}

}  // namespace inst::win
