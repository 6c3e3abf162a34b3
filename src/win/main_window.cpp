#include "win/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"
#include "win/run_thread.h"
#include "win/system_libraries.h"

namespace inst::win {

namespace {

constexpr COLORREF kTextColour = RGB(90, 90, 90);
constexpr COLORREF kLinkColour = RGB(0, 64, 255);
constexpr COLORREF kLinkHoverColour = RGB(255, 64, 0);

constexpr UINT kWmDpiChanged = 0x02E0;  // WM_DPICHANGED, Windows 8.1 and later

// The window's dots per inch: its monitor's for a per-monitor aware program (Windows
// 10 and later), else the system's.
int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto for_window = LoadProc<GetDpiForWindowFn>(::GetModuleHandleA("user32.dll"), "GetDpiForWindow");
  if (window && for_window) {
    if (const UINT dpi = for_window(window)) return static_cast<int>(dpi);
  }
  WindowDc screen(nullptr);
  return ::GetDeviceCaps(screen.get(), LOGPIXELSY);
}

// The width of the 52 letters, and the height, in a font.
SIZE MeasureLetters(HDC dc, const LOGFONTA& font) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GdiObject made(::CreateFontIndirectA(&font));
  const SelectedObject selected(dc, made.get());
  SIZE extent{};
  TEXTMETRICA metrics{};
  ::GetTextMetricsA(dc, &metrics);
  ::GetTextExtentPoint32A(dc, kLetters, 52, &extent);
  return {extent.cx, metrics.tmHeight};
}

// The text boxes' own procedure (the same for every box of the class).
WNDPROC text_box_procedure = nullptr;

// A page's text box takes the arrow keys to scroll, but not Tab, Enter or Escape:
// those move to the next control, go on and cancel, as in any dialog.
// (Asked, the box itself would act on Escape as well, closing the window.)
LRESULT CALLBACK ReadOnlyTextProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_GETDLGCODE) return DLGC_WANTARROWS | DLGC_HASSETSEL;
  return ::CallWindowProcA(text_box_procedure, window, message, wparam, lparam);
}

}  // namespace

MainWindow::MainWindow(Process& process) : process_(process) {}

MainWindow::~MainWindow() {
  if (window_) {
    // Unbound first: destroying the window must not reach a half-destroyed object.
    HWND window = window_;
    Unbind();
    ::DestroyWindow(window);
  }
}

void MainWindow::Unbind() {
  ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  if (process_.program.main_window == window_) process_.program.main_window = nullptr;
  window_ = nullptr;
}

HWND MainWindow::CreateControl(const char* window_class, const char* text, DWORD style, int id, const char* name) {
  // The name is a label never shown, just before the control in tab order: where
  // accessibility looks for a control's label.
  if (name) CreateControl("STATIC", name, 0);
  const bool text_box = std::strcmp(window_class, "EDIT") == 0 && (style & ES_MULTILINE);
  // What a person types or reads as data (a folder, the licence) is not the program's own text.
  const bool data = std::strcmp(window_class, "EDIT") == 0 || std::strcmp(window_class, "COMBOBOX") == 0;
  const std::string shown = data ? text : Shown(text);
  // A page's text boxes can be reached by Tab, to be read.
  if (text_box) style |= WS_TABSTOP;
  HWND control =
      ::CreateWindowExA(0, window_class, shown.c_str(), WS_CHILD | style, 0, 0, 0, 0, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), process_.program.instance, nullptr);
  if (control == nullptr) return nullptr;
  if (text_box) {
    text_box_procedure = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ReadOnlyTextProcedure)));
  }
  // A page's controls come before the buttons in the order Tab visits them, as they
  // stand on the window.
  if (HWND back = Control(control::kBack)) {
    HWND before_back = ::GetWindow(back, GW_HWNDPREV);
    ::SetWindowPos(control, before_back ? before_back : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return control;
}

void MainWindow::InitDialogUnits() {
  if (units_.horizontal != 0) return;
  WindowDc dc(window_);
  const int system_dpi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
  dpi_ = WindowDpi(window_);
  // The layout's units as at 96 DPI, from the fonts at their 96-DPI sizes; the window
  // then scales by exactly its DPI / 96 (the system font and the base units do not
  // follow the DPI everywhere).
  auto at_base_dpi = [&](int stock) {
    LOGFONTA font{};
    ::GetObjectA(::GetStockObject(stock), sizeof font, &font);
    font.lfHeight = ::MulDiv(font.lfHeight, kBaseDpi, system_dpi);
    font.lfWidth = 0;
    return font;
  };
  gui_font_at_base_ = at_base_dpi(DEFAULT_GUI_FONT);
  const LOGFONTA system_font = at_base_dpi(SYSTEM_FONT);
  const SIZE system = MeasureLetters(dc.get(), system_font), gui = MeasureLetters(dc.get(), gui_font_at_base_);
  const int base_x = ::MulDiv(LOWORD(::GetDialogBaseUnits()), kBaseDpi, system_dpi);
  units_ = ComputeDialogUnits(base_x, system.cy, system.cx, system.cy, gui.cx, gui.cy);
}

void MainWindow::LayOut() {
  LOGFONTA font = gui_font_at_base_;
  font.lfHeight = ::MulDiv(font.lfHeight, dpi_, kBaseDpi);
  gui_font_.reset(::CreateFontIndirectA(&font));
  const LONG height = font.lfHeight;
  font.lfHeight += font.lfHeight / 3;
  page_font_.reset(::CreateFontIndirectA(&font));
  font.lfHeight = height;
  font.lfUnderline = TRUE;
  const int tops[2][2] = {{248, 256}, {258, 266}};
  WindowDc dc(window_);
  for (int i = 0; i < 2; ++i) {
    links_[i].font.reset(::CreateFontIndirectA(&font));
    const SelectedObject selected(dc.get(), links_[i].font.get());
    SIZE extent{};
    links_[i].shown = Shown(links_[i].text);
    ::GetTextExtentPoint32A(dc.get(), links_[i].shown.c_str(), static_cast<int>(links_[i].shown.size()), &extent);
    links_[i].rect = ToPixels(25, tops[i][0], 25, tops[i][1]);
    links_[i].rect.right = links_[i].rect.left + extent.cx;
  }
  page_rect_ = ToPixels(25, 75, 375, 250);
}

RECT MainWindow::ToPixels(int left, int top, int right, int bottom) {
  InitDialogUnits();
  const UnitRect pixels = DialogUnitsToPixels({left, top, right, bottom}, units_, dpi_);
  return {pixels.left, pixels.top, pixels.right, pixels.bottom};
}

void MainWindow::PlaceControl(HWND control, int x, int y, int width, int height, DWORD style) {
  InitDialogUnits();
  ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(gui_font_.get()), TRUE);
  RECT rect = ToPixels(x, y, x + width, y + height);
  ::AdjustWindowRect(&rect, style, FALSE);
  ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
}

HWND MainWindow::AddButton(const char* text, int id, DWORD style, int x, int y) {
  HWND button = CreateControl("BUTTON", text, WS_TABSTOP | style, id);
  PlaceControl(button, x, y, 40, 15);
  return button;
}

bool MainWindow::RegisterWindowClass() {
  // Loaded here, not at the start: the common controls connect to the display when
  // loaded, which a headless run has no need of (about 50 ms under Wine).
  process_.program.common_controls.reset(LoadSystemLibrary("comctl32.dll"));
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  if (auto initialize =
          LoadProc<InitCommonControlsExFn>(process_.program.common_controls.get(), "InitCommonControlsEx"))
    initialize(&controls);
  // The dialogs' own class lends its cursor and background.
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof window_class;
  if (!::GetClassInfoExA(nullptr, "#32770", &window_class)) {
    window_class = WNDCLASSEXA{};
    window_class.cbSize = sizeof window_class;
    window_class.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  }
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = Procedure;
  window_class.cbWndExtra = 0;
  window_class.hInstance = process_.program.instance;
  window_class.lpszClassName = control::kWindowClass;
  window_class.lpszMenuName = nullptr;
  window_class.hIcon = nullptr;
  if (const std::string* icon = process_.variables().GetVariable("ICON")) {
    window_class.hIcon =
        static_cast<HICON>(::LoadImageA(nullptr, icon->c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
  }
  window_class.hIconSm = window_class.hIcon;
  return ::RegisterClassExA(&window_class) != 0;
}

RECT MainWindow::FramePlacement() {
  InitDialogUnits();
  RECT work{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT size = ToPixels(0, 0, 400, 300);
  // A screen too small for the window at its scale: the largest scale that fits,
  // so that every button stays on the screen.
  const int fit =
      std::min(::MulDiv(dpi_, work.right - work.left, size.right), ::MulDiv(dpi_, work.bottom - work.top, size.bottom));
  if (fit < dpi_) {
    dpi_ = std::max(fit, 1);
    size = ToPixels(0, 0, 400, 300);
  }
  const LONG x = work.left + (work.right - work.left - size.right) / 2;
  const LONG y = work.top + (work.bottom - work.top - size.bottom) / 2;
  return {x, y, x + size.right, y + size.bottom};
}

void MainWindow::LoadBackground() {
  const std::string* file = process_.variables().GetVariable("BACKGROUND");
  if (!file) return;
  background_.reset(::LoadImageA(nullptr, file->c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (!background_) return;
  background_dc_.reset(::CreateCompatibleDC(nullptr));
  background_selection_.emplace(background_dc_.get(), background_.get());
  BITMAP info{};
  RECT client{};
  ::GetClientRect(window_, &client);
  // In 96-DPI pixels of the bitmap: its right part shows, stretched to the window's scale.
  if (::GetObjectA(background_.get(), sizeof info, &info))
    background_offset_ = info.bmWidth - ::MulDiv(client.right - client.left, kBaseDpi, dpi_);
}

bool MainWindow::Create(std::vector<PageRecord> pages) {
  wizard_ = std::make_unique<Wizard>(std::move(pages), *this);
  if (!RegisterWindowClass()) return false;
  const RECT frame = FramePlacement();
  window_ =
      ::CreateWindowExA(WS_EX_CONTROLPARENT, control::kWindowClass, Shown(WindowTitle(process_.variables())).c_str(),
                        WS_DLGFRAME, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                        nullptr, process_.program.instance, this);
  if (window_ == nullptr) return false;
  process_.program.main_window = window_;
  LoadBackground();
  LayOut();
  // Drawn over the background by the control itself (transparent, and letting clicks through).
  page_text_control_ = ::CreateWindowExA(WS_EX_TRANSPARENT, "STATIC", "", WS_CHILD | SS_LEFT, 0, 0, 0, 0, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(control::kPageText)),
                                         process_.program.instance, nullptr);
  PlacePageText();
  AddButton(msg::kBackButton, control::kBack, WS_GROUP, 244, 250);
  AddButton(msg::kNextButton, control::kNext, BS_DEFPUSHBUTTON, 285, 250);
  AddButton(msg::kCancelButton, control::kCancel, 0, 335, 250);
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::SetFocus(Control(control::kNext));
  return true;
}

void MainWindow::MoveToDpi(int dpi, const RECT& suggested) {
  const int old_dpi = dpi_;
  // Kept until every control has the new font.
  const GdiObject old_font = std::move(gui_font_);
  dpi_ = dpi;
  LayOut();
  for (HWND child = ::GetWindow(window_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    ::SetWindowPos(child, nullptr, ::MulDiv(rect.left, dpi, old_dpi), ::MulDiv(rect.top, dpi, old_dpi),
                   ::MulDiv(rect.right - rect.left, dpi, old_dpi), ::MulDiv(rect.bottom - rect.top, dpi, old_dpi),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(gui_font_.get()), TRUE);
  }
  PlacePageText();
  ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::PlacePageText() {
  ::SetWindowPos(page_text_control_, nullptr, page_rect_.left, page_rect_.top, page_rect_.right - page_rect_.left,
                 page_rect_.bottom - page_rect_.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SendMessageA(page_text_control_, WM_SETFONT, reinterpret_cast<WPARAM>(page_font_.get()), TRUE);
}

void MainWindow::SetPageText(const std::optional<std::string>& text) {
  if (text == page_text_) return;
  page_text_ = text;
  // The background first, under the old text; then the control draws the new one.
  ::InvalidateRect(window_, &page_rect_, TRUE);
  ::SetWindowTextA(page_text_control_, Shown(text.value_or("")).c_str());
  ::ShowWindow(page_text_control_, text ? SW_SHOW : SW_HIDE);
}

// The run's thread asks the window's thread for the status line.
bool MainWindow::OffWindowThread() const {
  return ::GetWindowThreadProcessId(window_, nullptr) != ::GetCurrentThreadId();
}

void MainWindow::ShowStatus(const std::string& text) {
  if (OffWindowThread()) {
    StatusRequest request{&text};
    ::SendMessageA(window_, kWmShowStatus, 0, reinterpret_cast<LPARAM>(&request));
    return;
  }
  if (status_ == nullptr) {
    status_ = CreateControl("EDIT", "", WS_BORDER | ES_READONLY | ES_MULTILINE | ES_CENTER, control::kStatus,
                            msg::kStatusName);
    PlaceControl(status_, 25, 75, 175, 60, WS_BORDER);
  }
  ::SetWindowTextA(status_, Shown(text).c_str());
  ::ShowWindow(status_, SW_SHOW);
  saved_cursor_ = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  ::UpdateWindow(status_);
}

void MainWindow::HideStatus() {
  if (OffWindowThread()) {
    StatusRequest request{nullptr};
    ::SendMessageA(window_, kWmShowStatus, 0, reinterpret_cast<LPARAM>(&request));
    return;
  }
  if (status_) ::ShowWindow(status_, SW_HIDE);
  ::SetCursor(saved_cursor_);
}

bool MainWindow::ConfirmCancel() {
  if (wizard_->on_last_page()) return true;
  // The run waits at its next check while the question is open, as the question is
  // about the run as it stands; its end, if it comes meanwhile, waits for the answer.
  StopRequest& stop = process_.services.stop;
  stop.Pause(true);
  asking_ = true;
  const bool yes = process_.services.messages.AskYesNo(msg::kCancelSetupTitle, msg::kCancelSetup);
  asking_ = false;
  if (yes && process_.services.progress.RunThreadWorking()) stop.Request();
  stop.Pause(false);
  if (run_done_waiting_) {
    run_done_waiting_ = false;
    ::PostMessageA(window_, kWmRunDone, 0, 0);
  }
  return yes;
}

void MainWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  ::SetBkMode(dc, TRANSPARENT);
  {
    // The fonts chosen below are the DC's until the first one is put back, before EndPaint.
    const SelectedObject font(dc, page_font_.get());
    for (Link& link : links_) {
      if (!process_.variables().GetVariable(link.variable)) continue;
      ::SelectObject(dc, link.font.get());
      ::SetTextColor(dc, link.hover ? kLinkHoverColour : kLinkColour);
      ::TextOutA(dc, link.rect.left, link.rect.top, link.shown.c_str(), static_cast<int>(link.shown.size()));
    }
    if (const std::string* build = process_.variables().GetVariable(var::kBuildNo)) {
      ::SelectObject(dc, gui_font_.get());
      ::SetTextColor(dc, kTextColour);
      ::TextOutA(dc, ::MulDiv(35, dpi_, kBaseDpi), ::MulDiv(435, dpi_, kBaseDpi), build->c_str(),
                 static_cast<int>(build->size()));
    }
  }
  ::EndPaint(window_, &paint);
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcA(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    self->Unbind();
    return ::DefWindowProcA(window, message, wparam, lparam);
  }
  // No exception can cross the system's callback: the installer is built without
  // them, and what the library would throw ends the process (lean_runtime.cpp).
  return self->Handle(message, wparam, lparam);
}

// As a dialog does: the focus comes back where it was once a box over the window has gone.
std::optional<LRESULT> MainWindow::OnActivate(WPARAM wparam) {
  if (LOWORD(wparam) == WA_INACTIVE) {
    if (HWND focus = ::GetFocus(); focus && ::IsChild(window_, focus)) focus_before_box_ = focus;
  } else if (focus_before_box_ && ::IsWindow(focus_before_box_)) {
    ::SetFocus(focus_before_box_);
    return 0;
  }
  return std::nullopt;
}

// The background bitmap's right part, stretched to the window's scale.
LRESULT MainWindow::OnEraseBackground(HDC dc) {
  if (background_dc_) {
    RECT client{};
    ::GetClientRect(window_, &client);
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchBlt(dc, 0, 0, client.right, client.bottom, background_dc_.get(), background_offset_, 0,
                 ::MulDiv(client.right, kBaseDpi, dpi_), ::MulDiv(client.bottom, kBaseDpi, dpi_), SRCCOPY);
  }
  return 1;
}

// A link under the mouse takes its hover colour.
std::optional<LRESULT> MainWindow::OnMouseMove(POINT point) {
  for (Link& link : links_) {
    if (!process_.variables().GetVariable(link.variable)) continue;
    const bool over = ::PtInRect(&link.rect, point) != 0;
    if (over != link.hover) {
      link.hover = over;
      ::InvalidateRect(window_, &link.rect, TRUE);
      return 0;
    }
  }
  return std::nullopt;
}

// A click on a link opens what its variable names.
std::optional<LRESULT> MainWindow::OnClick(POINT point) {
  for (Link& link : links_) {
    const std::string* target = process_.variables().GetVariable(link.variable);
    if (target && ::PtInRect(&link.rect, point)) {
      ::ShellExecuteA(window_, "open", target->c_str(), nullptr, nullptr, SW_RESTORE);
      return 0;
    }
  }
  return std::nullopt;
}

// Other programs ask WM_USER to know this window, and are answered its signature
// whatever has the focus. The dialog keys ask the same message, as DM_GETDEFID, from
// this window's own thread: Enter presses the button that has the focus, else the
// page's Next (or Finish).
LRESULT MainWindow::OnDefaultButton() {
  if (::InSendMessage()) return kWmUserAnswer;
  const int focused = ::GetDlgCtrlID(::GetFocus());
  if (focused == control::kBack || focused == control::kCancel) return MAKELRESULT(focused, DC_HASDEFID);
  return kWmUserAnswer;
}

void MainWindow::OnButton(int id) {
  if (id == control::kNext) {
    wizard_->Next();
  } else if (id == control::kBack) {
    wizard_->Back();
  } else if (id == control::kCancel && ConfirmCancel()) {
    // While the run's thread works, only it ends the run (ConfirmCancel asked it to
    // stop): an installation stops at its next check and is taken back; one past its
    // last check completes.
    if (!process_.services.progress.RunThreadWorking()) process_.services.messages.EndRun(kExitCancelled);
  }
}

// The run has ended: its last reports to the page, then the page after the progress page.
LRESULT MainWindow::OnRunDone() {
  if (asking_) {
    run_done_waiting_ = true;
    return 0;
  }
  process_.services.progress.DeliverQueued();
  process_.services.progress.QueueReports(nullptr, nullptr);
  wizard_->Next();
  return 0;
}

// The run's thread asks for the status line through here.
LRESULT MainWindow::OnStatusRequest(const StatusRequest& status) {
  if (status.text)
    ShowStatus(*status.text);
  else
    HideStatus();
  return 0;
}

// The page's text is drawn over the background.
std::optional<LRESULT> MainWindow::OnStaticColour(HDC dc, HWND control) {
  if (control != page_text_control_) return std::nullopt;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kTextColour);
  return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
}

// The moves a dialog makes for the keyboard, which a label's access key asks for (the
// label, then the control after it): this window is no dialog.
LRESULT MainWindow::OnNextControl(WPARAM wparam, LPARAM lparam) {
  HWND target = lparam ? reinterpret_cast<HWND>(wparam) : ::GetNextDlgTabItem(window_, ::GetFocus(), wparam != 0);
  if (target) ::SetFocus(target);
  return 0;
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && wizard_ && wizard_->Command(LOWORD(wparam))) return 0;
  const POINT point{LOWORD(lparam), HIWORD(lparam)};
  std::optional<LRESULT> answer;
  switch (message) {
    case WM_CREATE:
    case WM_SIZE:
      return 0;
    case WM_ACTIVATE:
      answer = OnActivate(wparam);
      break;
    case WM_DESTROY:
      process_.services.messages.QuitInstaller(0);
      break;
    case WM_PAINT:
      Paint();
      return 1;
    case WM_CTLCOLORSTATIC:
      answer = OnStaticColour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
      break;
    case WM_ERASEBKGND:
      return OnEraseBackground(reinterpret_cast<HDC>(wparam));
    case WM_NEXTDLGCTL:
      return OnNextControl(wparam, lparam);
    case kWmDpiChanged:
      MoveToDpi(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_MOUSEMOVE:
      answer = OnMouseMove(point);
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      answer = OnClick(point);
      break;
    case WM_USER:
      return OnDefaultButton();
    case WM_COMMAND:
      OnButton(LOWORD(wparam));
      break;
    case kWmRunReports:
      process_.services.progress.DeliverQueued();
      return 0;
    case kWmRunDone:
      return OnRunDone();
    case kWmShowBox: {
      const auto& box = *reinterpret_cast<const BoxRequest*>(lparam);
      return process_.services.screen.ShowBox(box.title, box.text, box.style);
    }
    case kWmShowStatus:
      return OnStatusRequest(*reinterpret_cast<const StatusRequest*>(lparam));
  }
  return answer ? *answer : ::DefWindowProcA(window_, message, wparam, lparam);
}

int MainWindow::RunMessageLoop() {
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageA(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace inst::win
