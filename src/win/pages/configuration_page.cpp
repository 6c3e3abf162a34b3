#include "win/pages/configuration_page.h"

#include <cstdio>

#include "core/support/os_class.h"
#include "core/support/text.h"
#include "core/wizard/configuration.h"
#include "win/win_system.h"
#include "core/support/variable_names.h"

namespace inst::win {

namespace {

constexpr UINT kSettingChangeTimeout = 5000;

// The Windows 9x family's PATH is set by a line of C:\AUTOEXEC.BAT.
bool AppendToAutoexec(const std::string& name, const std::string& folder) {
  std::FILE* file = std::fopen("C:\\AUTOEXEC.BAT", "a");
  if (file == nullptr) return false;
  std::fputs(FormatText("SET %s=%%%s%%;%s\n", name.c_str(), name.c_str(), folder.c_str()).c_str(), file);
  return std::fclose(file) == 0;
}

}  // namespace

// Shown when installing and repairing; never when removing, never headless.
bool ConfigurationPage::Passed() const { return Headless() || process_.variables().TestFlag(var::kRemove); }

std::uint32_t ConfigurationPage::Enter(bool) {
  if (Passed()) return kPageSkip;
  const bool dont_add_path = process_.variables().TestFlag(var::kDontAddPath);
  window_->SetPageText(ConfigurationPageText(dont_add_path));
  // Made anew on every entry: coming back starts from English and an unticked box.
  ShowControls({frame_, languages_, add_path_}, false);
  frame_ = window_->CreateControl("STATIC", "  Language to use for messages", WS_BORDER);
  languages_ =
      window_->CreateControl("COMBOBOX", "", CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP | WS_VISIBLE);
  add_path_ = nullptr;
  if (!dont_add_path) {
    add_path_ = window_->CreateControl("BUTTON", "Add to environment path", BS_AUTOCHECKBOX | WS_TABSTOP, kAddPathBox);
    // Wider than the 96 units first drawn for it, which cut its own label short.
    window_->PlaceControl(add_path_, 175, 220, 150, 9);
  }
  for (const MessageLanguage& language : kMessageLanguages) {
    ::SendMessageA(languages_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(language.name));
  }
  window_->PlaceControl(frame_, 25, 206, 350, 35);
  window_->PlaceControl(languages_, 30, 216, 96, 9);
  ::SendMessageA(languages_, CB_SETCURSEL, kDefaultLanguageRow, 0);
  window_->EnableNext(true);
  return 0;
}

std::uint32_t ConfigurationPage::Leave(bool) {
  if (Passed() || languages_ == nullptr) return 0;
  InstallerVariables& vars = process_.variables();
  const LRESULT row = ::SendMessageA(languages_, CB_GETCURSEL, 0, 0);
  const std::size_t index = row >= 0 && static_cast<std::size_t>(row) < std::size(kMessageLanguages)
                                ? static_cast<std::size_t>(row)
                                : kDefaultLanguageRow;
  // Not reported: the page always lets the user go on.
  static_cast<void>(process_.registry.RegistryWriteDword(kHKLM, process_.product.ProductKey(), "language",
                                                         kMessageLanguages[index].code));
  if (!vars.TestFlag(var::kDontAddPath) && Checked(add_path_)) {
    const std::string folder = InstallationPath(vars, "bin");
    const std::uint32_t os = GetOsClass();
    if (os & os_class::kWin9xFamily) {
      AppendToAutoexec("PATH", folder);
    } else if (os & os_class::kNtFamily) {
      AddPathEntry(process_.registry, "PATH", folder);
      DWORD_PTR ignored = 0;
      ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"),
                            SMTO_ABORTIFHUNG, kSettingChangeTimeout, &ignored);
    }
  }
  window_->SetPageText(std::nullopt);
  ShowControls({frame_, languages_, add_path_}, false);
  return 0;
}

}  // namespace inst::win
