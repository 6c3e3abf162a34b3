// The progress page: does the run's work (install, repair or remove) with a log
// and a bar, then moves on by itself. A headless run does the same work here.
#pragma once
#include <cstddef>

#include "win/pages/page_base.h"

namespace inst::win {

// The work of the progress page for the run's mode.
void RunProgressPageWork(Process& process);

class ProgressPage final : public WindowPage, public Progress {
 public:
  using WindowPage::WindowPage;
  std::uint32_t Enter(bool forward) override;
  std::uint32_t Leave(bool forward) override;
  void ReportProgress(int percent, const char* text) override;

 private:
  void Show();
  void AppendLog(const char* text);

  HWND log_ = nullptr;
  HWND bar_ = nullptr;
  bool bar_hidden_ = false;
  std::size_t last_line_length_ = 0;
};

}  // namespace inst::win
