// The progress page: starts the run (install, repair or remove) on a thread of its
// own and shows it with a log and a bar while it works; the window moves on when the
// run has ended (kWmRunDone).
#pragma once
#include <cstddef>
#include <string>

#include "win/pages/page_base.h"
#include "win/run_thread.h"

namespace inst::win {

class ProgressPage final : public WindowPage, public Progress {
 public:
  using WindowPage::WindowPage;
  std::uint32_t Enter(bool forward) override;
  std::uint32_t Leave(bool forward) override;
  void ReportProgress(int percent, const char* text) override;
  void Flush() override;

 private:
  // The bar moves smoothly; the log, whose every line costs the edit control a
  // layout, is redrawn a few times a second (lines fly past too fast to read).
  static constexpr unsigned kBarMilliseconds = 50;
  static constexpr unsigned kLogMilliseconds = 250;

  void ShowBar();
  void ShowHeldLines();

  void Show();
  // Puts lines (each ending in CRLF) at the end of the log, or in place of its last line.
  void WriteLog(const std::string& lines, bool replace_last, std::size_t last_length);

  HWND log_ = nullptr;
  HWND bar_ = nullptr;
  bool bar_hidden_ = false;
  int bar_position_ = 0;
  int shown_position_ = 0;
  std::string held_lines_;
  std::size_t held_last_length_ = 0;
  std::size_t last_line_length_ = 0;
  DWORD bar_shown_at_ = 0;
  DWORD log_shown_at_ = 0;
  RunThread run_;
};

}  // namespace inst::win
