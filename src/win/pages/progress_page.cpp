#include "win/pages/progress_page.h"

#include <commctrl.h>

#include <cstdlib>

#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"

namespace inst::win {

namespace {

constexpr std::size_t kLogLimit = 10000;
constexpr std::size_t kLogCut = 5000;
constexpr std::size_t kMaxLogLine = 2047;

}  // namespace

std::uint32_t ProgressPage::Enter(bool) {
  Show();
  run_.Start(process_, window_.handle());
  return kPageLockBack;
}

std::uint32_t ProgressPage::Leave(bool) {
  run_.Join();
  ShowControls({log_, bar_}, false);
  window_.SetPageText(std::nullopt);
  return kPageLockBack;
}

// Lines and the bar's position are held back and shown at a bounded rate:
// drawing them for every file would cost more than the work.
void ProgressPage::ReportProgress(int percent, const char* text) {
  if (percent == -1) {
    Flush();
    ::ShowWindow(bar_, SW_HIDE);
    bar_hidden_ = true;
  } else {
    bar_position_ = percent;
    if (bar_hidden_) {
      ::ShowWindow(bar_, SW_SHOW);
      bar_hidden_ = false;
    }
  }
  if (text != nullptr) {
    std::string line = text;
    const bool replace = !line.empty() && line[0] == '\r';
    if (replace) line.erase(0, 1);
    line = (window_.Shown(line) + "\r\n").substr(0, kMaxLogLine);
    if (replace) {
      // It takes the place of the line shown last.
      Flush();
      WriteLog(line, true, line.size());
    } else {
      held_lines_ += line;
      held_last_length_ = line.size();
      // Only the end of a long batch can stay in the log.
      if (held_lines_.size() > kLogLimit)
        held_lines_.erase(0, held_lines_.find('\n', held_lines_.size() - kLogCut) + 1);
    }
  }
  const DWORD now = ::GetTickCount();
  if (now - log_shown_at_ >= kLogMilliseconds) {
    log_shown_at_ = now;
    ShowHeldLines();
  }
  if (now - bar_shown_at_ >= kBarMilliseconds) {
    bar_shown_at_ = now;
    ShowBar();
  }
}

void ProgressPage::Flush() {
  ShowHeldLines();
  ShowBar();
}

void ProgressPage::ShowHeldLines() {
  if (held_lines_.empty()) return;
  WriteLog(held_lines_, false, held_last_length_);
  held_lines_.clear();
}

void ProgressPage::ShowBar() {
  if (bar_position_ == shown_position_) return;
  ::SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(bar_position_), 0);
  shown_position_ = bar_position_;
}

void ProgressPage::Show() {
  const bool remove = process_.variables().TestFlag(var::kRemove);
  window_.SetPageText(std::string(remove ? msg::kUninstallingFiles : msg::kInstallingFiles));
  if (log_ == nullptr) {
    log_ = window_.CreateControl("EDIT", "", ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER, control::kLog,
                                 msg::kLogName);
    bar_ = window_.CreateControl(PROGRESS_CLASSA, "", WS_BORDER, control::kBar, msg::kBarName);
    window_.PlaceControl(log_, 25, 162, 350, 62, WS_BORDER);
    window_.PlaceControl(bar_, 25, 230, 350, 10, WS_BORDER);
    ::SendMessageA(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  }
  ::SetWindowTextA(log_, "");
  held_lines_.clear();
  last_line_length_ = 0;
  bar_position_ = shown_position_ = 0;
  ::SendMessageA(bar_, PBM_SETPOS, 0, 0);
  ShowControls({log_, bar_}, true);
  window_.EnableNext(false);
  window_.EnableBack(false);
  // Only an installation can be taken back: a removal or repair, once begun, ends.
  window_.EnableCancel(process_.variables().TestFlag(var::kInstall));
  process_.services.progress.target = this;
  ::UpdateWindow(window_.handle());
}

void ProgressPage::WriteLog(const std::string& lines, bool replace_last, std::size_t last_length) {
  std::size_t length = static_cast<std::size_t>(::GetWindowTextLengthA(log_));
  if (length > kLogLimit) {
    // The oldest lines go, so that the line written last stays at the end.
    ::SendMessageA(log_, EM_SETSEL, 0, kLogCut);
    ::SendMessageA(log_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
    length = static_cast<std::size_t>(::GetWindowTextLengthA(log_));
  }
  const std::size_t start = !replace_last ? length : length >= last_line_length_ ? length - last_line_length_ : 0;
  ::SendMessageA(log_, EM_SETSEL, start, length);
  ::SendMessageA(log_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(lines.c_str()));
  ::SendMessageA(log_, EM_SCROLLCARET, 0, 0);
  ::UpdateWindow(log_);
  last_line_length_ = last_length;
}

}  // namespace inst::win
