// What every page of the window shares: the process, the window and showing or
// hiding its controls. Pages show and ask; the run itself is PerformRun's.
#pragma once
#include <windows.h>

#include <initializer_list>

#include "core/support/variable_names.h"
#include "core/wizard/wizard.h"
#include "win/main_window.h"
#include "win/process.h"

namespace inst::win {

class WindowPage : public Page {
 public:
  WindowPage(Process& process, MainWindow& window) : process_(process), window_(window) {}

 protected:
  static void ShowControls(std::initializer_list<HWND> controls, bool show) {
    for (HWND control : controls)
      if (control) ::ShowWindow(control, show ? SW_SHOW : SW_HIDE);
  }
  static bool Checked(HWND button) { return button && ::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

  Process& process_;
  MainWindow& window_;
};

}  // namespace inst::win
