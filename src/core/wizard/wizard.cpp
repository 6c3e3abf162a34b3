#include "core/wizard/wizard.h"

#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"

namespace inst {

std::string WindowTitle(const InstallerVariables& vars) {
  const std::string product = vars.ValueOf(var::kDescription);
  if (vars.TestFlag(var::kRemove)) return FormatText(msg::kRemovingWindowTitle, product.c_str());
  if (vars.TestFlag(var::kInstall)) return FormatText(msg::kInstallingWindowTitle, product.c_str());
  // The installed copy asks first whether to repair or remove.
  if (vars.TestFlag(var::kRepair)) return FormatText(msg::kRepairingWindowTitle, product.c_str());
  return FormatText(msg::kSetupWindowTitle, product.c_str());
}

void Wizard::GoToPage(int target) {
  if (target < 0) return;
  const bool forward = target > current_;
  for (;;) {
    if (target >= end_index()) {
      frame_.Finish();
      return;
    }
    if (target < 0) return;  // a backward skip past page 0 has nowhere to land
    if (current_ >= 0 && (pages_[current_].page->Leave(forward) & kPageStay)) return;
    frame_.EnableNext(true);
    const std::uint32_t entered = pages_[target].page->Enter(forward);
    if (entered & kPageLockBack) back_locked_ = true;
    if (entered & kPageSkip) {
      current_ = target;
      target += forward ? 1 : -1;
      continue;
    }
    current_ = target;
    break;
  }
  if (on_last_page()) {
    frame_.SetNextText(msg::kFinishButton);
    frame_.EnableCancel(false);
  } else {
    frame_.SetNextText(msg::kNextButtonShort);
  }
  frame_.EnableBack(current_ != 0 && !back_locked_);
  frame_.Repaint();
}

void Wizard::Next() {
  int target = current_ + 1;
  while (target < end_index() && !pages_[target].enabled) ++target;
  GoToPage(target);
}

void Wizard::Back() {
  int target = current_ - 1;
  while (target > 0 && !pages_[target].enabled) --target;
  GoToPage(target < 0 ? 0 : target);
}

}  // namespace inst
