#include "win/pages/configuration_page.h"

#include "core/support/variable_names.h"
#include "core/wizard/configuration.h"
#include "core/wizard/wizard_messages.h"

namespace inst::win {

// Shown when installing and repairing; never when removing.
bool ConfigurationPage::Passed() const { return process_.variables().TestFlag(var::kRemove); }

std::uint32_t ConfigurationPage::Enter(bool) {
  if (Passed()) return kPageSkip;
  const bool dont_add_path = process_.variables().TestFlag(var::kDontAddPath);
  window_.SetPageText(ConfigurationPageText(dont_add_path));
  // Made anew on every entry, from the choice so far (the command line's, or the
  // page's when coming back), else English and an unticked box.
  ShowControls({frame_, languages_, add_path_}, false);
  frame_ = window_.CreateControl("STATIC", msg::kLanguageLabel, WS_BORDER);
  languages_ =
      window_.CreateControl("COMBOBOX", "", CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP | WS_VISIBLE);
  add_path_ = nullptr;
  if (!dont_add_path) {
    add_path_ = window_.CreateControl("BUTTON", msg::kAddToPath, BS_AUTOCHECKBOX | WS_TABSTOP, control::kAddPath);
    // Wider than the 96 units first drawn for it, which cut its own label short.
    window_.PlaceControl(add_path_, 175, 220, 150, 9);
  }
  for (const MessageLanguage& language : kMessageLanguages) {
    ::SendMessageA(languages_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(language.name));
  }
  window_.PlaceControl(frame_, 25, 206, 350, 35);
  window_.PlaceControl(languages_, 30, 216, 96, 9);
  // Unless the command line chose, the list starts on the wizard's own language.
  const std::optional<std::uint32_t> chosen = process_.configuration.language;
  std::size_t row = kDefaultLanguageRow;
  for (std::size_t k = 0; k < std::size(kMessageLanguages); ++k)
    if (chosen ? kMessageLanguages[k].code == *chosen
               : process_.services.ui.code() == UiLanguageOfLangId(kMessageLanguages[k].code))
      row = k;
  ::SendMessageA(languages_, CB_SETCURSEL, row, 0);
  if (add_path_ != nullptr && process_.configuration.add_path) ::SendMessageA(add_path_, BM_SETCHECK, BST_CHECKED, 0);
  window_.EnableNext(true);
  return 0;
}

std::uint32_t ConfigurationPage::Leave(bool) {
  if (Passed() || languages_ == nullptr) return 0;
  const LRESULT row = ::SendMessageA(languages_, CB_GETCURSEL, 0, 0);
  const std::size_t index = row >= 0 && static_cast<std::size_t>(row) < std::size(kMessageLanguages)
                                ? static_cast<std::size_t>(row)
                                : kDefaultLanguageRow;
  // Applied when the run starts: a user who goes back and cancels has changed nothing.
  process_.configuration = {kMessageLanguages[index].code, Checked(add_path_)};
  window_.SetPageText(std::nullopt);
  ShowControls({frame_, languages_, add_path_}, false);
  return 0;
}

}  // namespace inst::win
