#include "win/pages/install_folder_page.h"

#include "core/install/earlier_version.h"
#include "core/install/folder_rules.h"
#include "core/install/install_messages.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"
#include "win/external_installers.h"
#include "win/free_space.h"

namespace inst::win {

std::uint32_t InstallFolderPage::Enter(bool) {
  if (!process_.variables().TestFlag(var::kInstall)) return kPageSkip;
  if (!created_) CreateControls();
  window_.SetPageText(InstallFolderPageText(choice_));
  UpdateSpace();
  ShowAll(true);
  // The first thing to decide here, for a user at the keyboard.
  ::SetFocus(folder_);
  return 0;
}

void InstallFolderPage::CreateControls() {
  created_ = true;
  frame_ = window_.CreateControl("STATIC", "", WS_BORDER);
  required_ = window_.CreateControl("EDIT", "", ES_READONLY, 0, msg::kSpaceRequiredName);
  available_ = window_.CreateControl("EDIT", "", ES_READONLY, 0, msg::kSpaceAvailableName);
  window_.PlaceControl(required_, 30, 225, 170, 10);
  window_.PlaceControl(available_, 205, 225, 165, 10);
  choice_ = ChooseComponentBoxes(
      process_.state.lists, [this](std::size_t index) { return process_.session.run.ComponentHasContent(index); },
      [this](const InstallerRecord& installer) { return process_.session.run.LocateInstaller(installer); });
  for (const ComponentBox& box : choice_.boxes) {
    HWND control = window_.CreateControl("BUTTON", box.label.c_str(), BS_AUTOCHECKBOX | WS_TABSTOP,
                                         control::kFirstComponent + static_cast<int>(box.index));
    ::SendMessageA(control, BM_SETCHECK, box.checked ? BST_CHECKED : BST_UNCHECKED, 0);
    ::EnableWindow(control, box.enabled);
    boxes_.push_back(control);
  }
  const DialogPlace frame = FramePlace(choice_);
  window_.PlaceControl(frame_, frame.x, frame.y, frame.width, frame.height);
  for (std::size_t k = 0; k < boxes_.size(); ++k) {
    const DialogPlace place = ComponentBoxPlace(choice_, k);
    window_.PlaceControl(boxes_[k], place.x, place.y, place.width, place.height);
  }
  // Scrolls sideways, so that a folder longer than the box can still be typed.
  folder_ = window_.CreateControl("EDIT", process_.variables().ValueOf(var::kInstDir).c_str(),
                                  WS_TABSTOP | ES_AUTOHSCROLL, control::kFolder, msg::kFolderName);
  window_.PlaceControl(folder_, 30, 210, 340, 10);
}

void InstallFolderPage::ShowAll(bool show) {
  ShowControls({frame_, folder_, required_, available_}, show);
  for (HWND box : boxes_) ShowControls({box}, show);
}

std::string InstallFolderPage::FolderText() const {
  std::string text(kMaxFolderText + 1, '\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextA(folder_, text.data(), static_cast<int>(text.size()))));
  return text;
}

void InstallFolderPage::UpdateSpace() {
  const std::uint32_t free_mb = QueryFreeSpace(process_.state, SpaceQueryPath(FolderText())).value_or(0);
  ::SetWindowTextA(available_, window_.Shown(SpaceAvailableText(free_mb)).c_str());
  ::SetWindowTextA(required_, window_.Shown(SpaceRequiredText(process_.session.run.RequiredSpaceKB())).c_str());
}

bool InstallFolderPage::Command(int id) {
  if (!created_ || id < control::kFolder || id > control::kLastComponent) return false;
  for (std::size_t k = 0; k < boxes_.size(); ++k) {
    SetComponentSelected(process_.state.lists, choice_.boxes[k].index, Checked(boxes_[k]));
  }
  UpdateSpace();
  return false;
}

bool InstallFolderPage::AcceptFolder(const std::string& folder) {
  // A relative folder would install beside the installer and register a location
  // that no uninstall entry can find.
  if (!IsFullPath(folder)) {
    process_.services.messages.ShowError(msg::kBadFolderTitle, msg::kFolderNotFullPath);
    ::SetFocus(folder_);
    return false;
  }
  if (const auto refusal = FolderRefusal(process_.state.lists, folder, DriveExists(folder))) {
    process_.services.messages.ShowError(msg::kBadFolderTitle, "%s", refusal->c_str());
    ::SetFocus(folder_);
    return false;
  }
  if (process_.services.files.FileExists(folder) && !process_.services.files.IsDirectory(folder)) {
    process_.services.messages.ShowError(msg::kBadFolderTitle, msg::kFolderIsAFile);
    ::SetFocus(folder_);
    return false;
  }
  if (const auto elsewhere = process_.session.product.InstalledElsewhere(folder)) {
    process_.services.messages.ShowError(msg::kInstalledElsewhereTitle, msg::kInstalledElsewhere, elsewhere->c_str());
    ::SetFocus(folder_);
    return false;
  }
  const std::string previous = PreviousInstallerPath(folder);
  process_.state.lay_over_earlier_version = false;
  if (!process_.services.files.FileExists(previous)) return true;
  if (process_.services.messages.AskYesNoPlain(msg::kPreviousInstallationTitle, msg::kRemovePreviousInstallation)) {
    // Another version of this product: the run replaces it under its own journal, so
    // that a run that fails puts it back.
    if (FindEarlierVersion(process_.variables(), process_.services.files, process_.services.messages, folder))
      return true;
    // Whatever the remover achieves, the installation goes into the folder, but only
    // once the remover's clean-up script has run: it removes folders it finds empty.
    // The window pumps meanwhile: no second move may start from it.
    window_.EnableNext(false);
    window_.EnableBack(false);
    RunAndWait(process_.services, process_.state, window_.handle(), previous, "--remove --setTrue-DoProceed",
               WaitFor::kProgramAndItsChildren);
    window_.EnableNext(true);
    window_.EnableBack(true);
    return true;
  }
  process_.state.lay_over_earlier_version =
      process_.services.messages.AskYesNoPlain(msg::kPreviousInstallationTitle, msg::kOverwritePreviousInstallation);
  return process_.state.lay_over_earlier_version;
}

std::uint32_t InstallFolderPage::Leave(bool forward) {
  if (!process_.variables().TestFlag(var::kInstall) || folder_ == nullptr) return 0;
  const std::string folder = NormalizeFolder(FolderText());
  if (forward && !AcceptFolder(folder)) return kPageStay;
  process_.variables().SetVariable(var::kInstDir, folder);
  window_.SetPageText(std::nullopt);
  ShowAll(false);
  return 0;
}

}  // namespace inst::win
