// The wizard's one fixed-size window: background, page text, links, build number,
// Back/Next/Cancel, and the navigation between the pages.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/wizard/dialog_units.h"
#include "core/wizard/wizard.h"
#include "core/wizard/wizard_messages.h"
#include "win/control_ids.h"
#include "win/handles.h"
#include "win/process.h"
#include "win/run_thread.h"

namespace inst::win {

inline constexpr LRESULT kWmUserAnswer = 0x534B0065;

class MainWindow final : public WizardFrame, public StatusDisplay {
 public:
  explicit MainWindow(Process& process);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Registers the class and creates and shows the window; false when that fails.
  bool Create(std::vector<PageRecord> pages);
  void GoToPage(int page) { wizard_->GoToPage(page); }
  // Runs the message loop; returns the quit message's code.
  int RunMessageLoop();

  HWND handle() const { return window_; }
  HWND Control(int id) const { return ::GetDlgItem(window_, id); }
  // A hidden child control; `id` 0 for none. It lives as long as the window. A control
  // that shows no label of its own is given `name`, which screen readers read.
  HWND CreateControl(const char* window_class, const char* text, DWORD style, int id = 0, const char* name = nullptr);
  // The control's font, place in dialog units (grown by the frame `style` needs), shown.
  void PlaceControl(HWND control, int x, int y, int width, int height, DWORD style = 0);
  void SetPageText(const std::optional<std::string>& text);
  // The title again, once the run mode is chosen.
  void ShowRunMode() { ::SetWindowTextA(window_, WindowTitle(process_.variables()).c_str()); }
  // A box over the page with a text and the wait cursor, for long work.
  void ShowStatus(const std::string& text) override;
  void HideStatus() override;
  // Called from the run's thread, not the window's.
  bool OffWindowThread() const;
  bool ConfirmCancel();
  bool asking_ = false;            // the Cancel question is open
  bool run_done_waiting_ = false;  // the run ended while it was

  // WizardFrame
  void EnableNext(bool on) override { ::EnableWindow(Control(control::kNext), on); }
  void EnableBack(bool on) override { ::EnableWindow(Control(control::kBack), on); }
  void EnableCancel(bool on) override { ::EnableWindow(Control(control::kCancel), on); }
  void SetNextText(const char* text) override { ::SetWindowTextA(Control(control::kNext), Shown(text).c_str()); }
  // A text of the program's own in the user's language (ui_texts.h).
  std::string Shown(std::string_view text) const { return process_.services.ui.Show(text); }
  void Repaint() override { ::InvalidateRect(window_, nullptr, TRUE); }
  void Finish() override { process_.services.messages.QuitInstaller(FinishedExitCode(process_.state)); }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // One handler per message; those that may leave it to the default handling answer nothing.
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  std::optional<LRESULT> OnActivate(WPARAM wparam);
  std::optional<LRESULT> OnStaticColour(HDC dc, HWND control);
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnNextControl(WPARAM wparam, LPARAM lparam);
  std::optional<LRESULT> OnMouseMove(POINT point);
  std::optional<LRESULT> OnClick(POINT point);
  LRESULT OnDefaultButton();
  void OnButton(int id);
  LRESULT OnRunDone();
  LRESULT OnStatusRequest(const StatusRequest& status);
  void Paint();
  void InitDialogUnits();
  // The fonts, the links and the page's text area at the window's DPI.
  void LayOut();
  // The window and every control to a new DPI (moved to a monitor with another scale).
  void MoveToDpi(int dpi, const RECT& suggested);
  // The page's text control over the page's area, in the page's font.
  void PlacePageText();
  RECT ToPixels(int left, int top, int right, int bottom);
  HWND AddButton(const char* text, int id, DWORD style, int x, int y);
  // The window's class, with the product's icon; false when it cannot be registered.
  bool RegisterWindowClass();
  // The window's frame, centred in the work area at the largest scale that fits it.
  RECT FramePlacement();
  void LoadBackground();
  // Stops dispatching to this object; the window goes on to its default handling.
  void Unbind();

  struct Link {
    const char* text;
    const char* variable;
    std::string shown;  // the text in the wizard's language
    RECT rect{};
    bool hover = false;
    GdiObject font;
  };

  Process& process_;
  HWND window_ = nullptr;
  std::unique_ptr<Wizard> wizard_;
  std::optional<std::string> page_text_;
  RECT page_rect_{};
  // The layout's units at 96 DPI, and the window's DPI they are scaled to.
  DialogUnits units_{};
  int dpi_ = kBaseDpi;
  LOGFONTA gui_font_at_base_{};
  GdiObject gui_font_;
  GdiObject page_font_;
  GdiObject background_;
  MemoryDc background_dc_;
  // Declared after the DC: the bitmap is put back out of it before the DC goes.
  std::optional<SelectedObject> background_selection_;
  int background_offset_ = 0;
  HWND status_ = nullptr;
  HWND page_text_control_ = nullptr;
  HWND focus_before_box_ = nullptr;
  HCURSOR saved_cursor_ = nullptr;
  Link links_[2] = {{msg::kOnlineHelpLink, "InstallerHelp", {}, {}, false, {}},
                    {msg::kOrderingLink, "OrderingURL", {}, {}, false, {}}};
};

}  // namespace inst::win
