// Test robot: starts a program, watches its windows, logs every message box (title,
// text, buttons) as a JSON line and answers it as the test scripted, then logs the
// program's exit code.
//
//   robot.exe --log FILE [--answer BUTTON]... [--env NAME=VALUE]... [--timeout SECONDS]
//             --exe PATH [--args TEXT]
//
// --env sets (or, with an empty value, removes) a variable of the program's
// environment. BUTTON is OK, Cancel, Retry, Yes, No, Abort or Ignore, optionally
// followed by "@shot=PATH" (writes the box's X window into PATH and waits until it
// is gone, so that the harness can capture the box) or "@after=PATH" (answers once
// the file PATH exists); "kill" ends the program there, as
// a power cut or kill -9 would, without an answer. A box met
// when no answer is left is logged as unexpected and dismissed with its first
// button, so a test fails rather than hangs.
//
// --do ACTION acts on the wizard window in its turn: click:ID, clicktext:TEXT,
// type:ID:TEXT, select:ROW (of the visible combo box), waitfor:ID, waitfor:TEXT or waitfor:focus, escape, close,
// state:ID, controls (every visible control), window, sample:ID (a bar's visibility and position, without the pause),
// mark (the milliseconds since the start), wait:MILLISECONDS, shot:PATH (the window's picture, as "@shot=" does for a
// box), shotwhen:ID:PATH (the picture as soon as control ID shows, or a progress bar has moved, the program held
// still), key:NAME (a key as the keyboard sends it, "shift+" or "alt+" before it for the key held), focus, dpi:DPI (the
// window told its monitor's scale changed).
//
// A control is described with its accessible name (what a screen reader calls it) and,
// where it shows a text, whether that text fits it in the control's own font.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "robot_capture.h"
#include "win/control_ids.h"

namespace {

struct Button {
  const char* name;
  int id;
};
constexpr Button kButtons[] = {{"OK", IDOK},         {"Cancel", IDCANCEL}, {"Abort", IDABORT}, {"Retry", IDRETRY},
                               {"Ignore", IDIGNORE}, {"Yes", IDYES},       {"No", IDNO}};

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Asked of the window itself: another process's edit control keeps its text to itself.
std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
  std::vector<char> buffer(static_cast<std::size_t>(length) + 2);
  DWORD_PTR got = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                      2000, &got);
  return std::string(buffer.data(), std::min<std::size_t>(got, length));
}

struct ReleaseCom {
  void operator()(IUnknown* object) const { object->Release(); }
};

// What a screen reader calls the control: the accessibility library's name for it,
// from its own text or from the label before it.
std::string AccessibleName(HWND control) {
  // Spelt out: the cross toolchain's import library holds another value.
  static const GUID kAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  IAccessible* raw = nullptr;
  if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, kAccessible, reinterpret_cast<void**>(&raw)))) return "";
  const std::unique_ptr<IAccessible, ReleaseCom> object(raw);
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (object->get_accName(self, &name) != S_OK || name == nullptr) return "";
  char text[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof text - 1, nullptr, nullptr);
  SysFreeString(name);
  return text;
}

// Whether a button's or a static text's words fit inside it, measured in the program
// with the control's own font (robot_hook.dll, hooked into the program's window
// thread) and laid out as the control lays them out: a check box's or radio button's
// text on one line beside its box, a static's wrapped at its width. Null for other
// controls, and where the program could not be asked.
std::string TextFits(HWND control, const std::string& window_class, const std::string& text) {
  const bool button = _stricmp(window_class.c_str(), "Button") == 0;
  if (text.empty() || (!button && _stricmp(window_class.c_str(), "Static") != 0)) return "null";
  RECT client{};
  GetClientRect(control, &client);
  const LONG kind = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
  const bool beside_box = button && kind != BS_PUSHBUTTON && kind != BS_DEFPUSHBUTTON && kind != BS_GROUPBOX;
  const LONG width = client.right - (beside_box ? GetSystemMetrics(SM_CXMENUCHECK) + 2 : 0);
  DWORD_PTR answered = 0;
  RemovePropA(control, "measured width");
  if (!SendMessageTimeoutA(control, RegisterWindowMessageA("robot: measure text"), button ? 0 : width, 0,
                           SMTO_ABORTIFHUNG, 2000, &answered) ||
      GetPropA(control, "measured width") == nullptr)
    return "null";
  const auto measured = [&](const char* name) {
    return static_cast<LONG>(reinterpret_cast<INT_PTR>(GetPropA(control, name)));
  };
  return measured("measured width") <= width && measured("measured height") <= client.bottom ? "true" : "false";
}

std::string Rect(const RECT& rect) {
  char text[64];
  std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", rect.left, rect.top, rect.right, rect.bottom);
  return text;
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

struct Step {
  bool is_action;
  std::string text;
};

struct Robot {
  FILE* log = nullptr;
  DWORD pid = 0;
  HANDLE process = nullptr;
  HANDLE thread = nullptr;  // the program's first thread, which runs its window
  std::deque<std::string> answers;
  std::deque<Step> steps;
  HWND main_window = nullptr;
  bool box_open = false;
  std::set<HWND> answered;
  ULONGLONG started = 0;
  HHOOK program_hook = nullptr, queue_hook = nullptr;
  // Set by the hook once the program's window thread has taken the robot's barrier
  // from its queue: what the robot posted before it has been handled.
  HANDLE barrier = nullptr;
  HWND barrier_window = nullptr;  // where it was posted: a window gone since has nothing left to handle
  bool barrier_due = false;

  // Lets the robot act inside the program (TextFits, dpi:, the barrier), from the first
  // action on: the program's window thread gets robot_hook.dll, beside this program.
  void HookProgram() {
    if (program_hook) return;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::strcpy(std::strrchr(path, '\\') + 1, "robot_hook.dll");
    if (HMODULE library = LoadLibraryA(path)) {
      const DWORD thread_id = GetWindowThreadProcessId(main_window, nullptr);
      auto hook = [&](const char* name) {
        return reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, name)));
      };
      program_hook = SetWindowsHookExA(WH_CALLWNDPROC, hook("RobotHook"), library, thread_id);
      queue_hook = SetWindowsHookExA(WH_GETMESSAGE, hook("RobotQueueHook"), library, thread_id);
      barrier = CreateEventA(nullptr, TRUE, FALSE, ("robot barrier " + std::to_string(pid)).c_str());
    }
  }

  // Whether what the robot last did (an action, a box's answer) has been handled by the
  // program's window thread; posts the barrier that tells, the first time it is asked.
  // Acting before that would act on a window that has not caught up, as a slow machine shows.
  bool CaughtUp() {
    if (!barrier_due) return true;
    if (barrier_window != main_window) {
      HookProgram();
      ResetEvent(barrier);
      barrier_window = main_window;
      PostMessageA(main_window, RegisterWindowMessageA("robot: barrier"), 0, 0);
    }
    if (WaitForSingleObject(barrier, 0) != WAIT_OBJECT_0) return false;
    barrier_due = false;
    barrier_window = nullptr;
    return true;
  }

  void Line(const std::string& json) {
    std::fprintf(log, "%s\n", json.c_str());
    std::fflush(log);
  }

  void Handle(HWND box) {
    box_open = true;
    if (answered.count(box)) return;
    // Answers are taken in their turn: a box met while an action is due is left to
    // the action's turn only if no answer comes first.
    if (!steps.empty() && !steps.front().is_action) {
      answers.push_back(steps.front().text);
      steps.pop_front();
    }
    answered.insert(box);
    std::string buttons;
    int first_button = 0;
    for (const Button& b : kButtons) {
      HWND control = GetDlgItem(box, b.id);
      if (control && IsWindowVisible(control)) {
        if (!buttons.empty()) buttons += ",";
        buttons += Json(b.name);
        if (!first_button) first_button = b.id;
      }
    }
    HWND text_control = GetDlgItem(box, 0xFFFF);
    const std::string text = text_control ? WindowText(text_control) : std::string();
    int answer_id = first_button;
    std::string answer = "unexpected";
    std::string shot, after;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
      if (const auto at = answer.find("@shot="); at != std::string::npos) {
        shot = answer.substr(at + 6);
        answer.resize(at);
      }
      if (const auto at = answer.find("@after="); at != std::string::npos) {
        after = answer.substr(at + 7);
        answer.resize(at);
      }
      answer_id = 0;
      for (const Button& b : kButtons) {
        if (_stricmp(b.name, answer.c_str()) == 0) answer_id = b.id;
      }
    }
    Line("{\"box\":{\"title\":" + Json(WindowText(box)) + ",\"text\":" + Json(text) + ",\"buttons\":[" + buttons +
         "],\"answer\":" + Json(answer) + "}}");
    if (!shot.empty()) capture::HoldForPicture(box, shot);
    // The box stays until the harness says, by making the file, that its moment has come.
    while (!after.empty() && GetFileAttributesA(after.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(50);
    if (answer == "kill") {
      TerminateProcess(process, 255);
      return;
    }
    if (answer_id) PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer_id, BN_CLICKED), 0);
    barrier_due = true;
  }

  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    Robot& robot = *reinterpret_cast<Robot*>(self);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != robot.pid || !IsWindowVisible(window)) return TRUE;
    const std::string name = ClassName(window);
    if (name == "#32770")
      robot.Handle(window);
    else if (name == inst::win::control::kWindowClass)
      robot.main_window = window;
    return TRUE;
  }

  HWND FindByText(const std::string& text) const {
    for (HWND control = GetWindow(main_window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
      if (IsWindowVisible(control) && WindowText(control) == text) return control;
    }
    return nullptr;
  }

  // A control as a JSON object: identifier, class, text, states, place in the
  // window's client area, and a progress bar's position.
  std::string Describe(HWND control) const {
    const std::string name = ClassName(control);
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, main_window, reinterpret_cast<POINT*>(&rect), 2);
    DWORD_PTR checked = 0, position = 0;
    if (_stricmp(name.c_str(), "Button") == 0)
      SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &checked);
    const std::string text = WindowText(control);
    std::string line = "{\"control\":" + std::to_string(GetDlgCtrlID(control)) + ",\"class\":" + Json(name) +
                       ",\"text\":" + Json(text) + ",\"name\":" + Json(AccessibleName(control)) +
                       ",\"fits\":" + TextFits(control, name, text) +
                       ",\"enabled\":" + (IsWindowEnabled(control) ? "true" : "false") +
                       ",\"visible\":" + (IsWindowVisible(control) ? "true" : "false") +
                       ",\"checked\":" + (checked == BST_CHECKED ? "true" : "false") + ",\"rect\":" + Rect(rect);
    if (_stricmp(name.c_str(), "msctls_progress32") == 0) {
      if (SendMessageTimeoutA(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position)) {
        line += ",\"position\":" + std::to_string(static_cast<unsigned long long>(position));
      }
    }
    return line + "}";
  }

  // A key as the keyboard gives it, to the window in front (the program's), with
  // Shift or Alt held for "shift+NAME" or "alt+NAME"; NAME a key's name or a letter.
  void PressKey(std::string name) {
    WORD modifier = 0;
    if (name.rfind("shift+", 0) == 0) modifier = VK_SHIFT;
    if (name.rfind("alt+", 0) == 0) modifier = VK_MENU;
    if (modifier) name = name.substr(name.find('+') + 1);
    static const std::pair<const char*, WORD> kKeys[] = {{"tab", VK_TAB},       {"enter", VK_RETURN},
                                                         {"escape", VK_ESCAPE}, {"space", VK_SPACE},
                                                         {"down", VK_DOWN},     {"up", VK_UP}};
    WORD key = name.size() == 1 ? static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0]))) : 0;
    for (const auto& [key_name, code] : kKeys)
      if (name == key_name) key = code;
    SetForegroundWindow(main_window);
    std::vector<INPUT> inputs;
    auto add = [&](WORD code, bool up) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = code;
      input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
      inputs.push_back(input);
    };
    if (modifier) add(modifier, false);
    add(key, false);
    add(key, true);
    if (modifier) add(modifier, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  }

  // waitfor:ID or waitfor:TEXT holds the later actions until the control shows,
  // enabled (a page reached after long work); a progress bar, until it has moved too
  // (the work under way).
  bool Ready(const std::string& target) const {
    if (target == "focus") {  // the keyboard focus back on one of the window's controls
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      return GetGUIThreadInfo(GetWindowThreadProcessId(main_window, nullptr), &info) && info.hwndFocus &&
             IsChild(main_window, info.hwndFocus);
    }
    HWND control = !target.empty() && std::isdigit(static_cast<unsigned char>(target[0]))
                       ? GetDlgItem(main_window, std::atoi(target.c_str()))
                       : FindByText(target);
    if (!control || !IsWindowVisible(control) || !IsWindowEnabled(control)) return false;
    DWORD_PTR position = 0;
    return _stricmp(ClassName(control).c_str(), "msctls_progress32") != 0 ||
           (SendMessageTimeoutA(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position) && position > 0);
  }

  // A progress bar's visibility and position, at once and with one question to the
  // program, to follow a bar that moves quickly.
  void Sample(int id) {
    HWND control = GetDlgItem(main_window, id);
    DWORD_PTR position = 0;
    if (control && SendMessageTimeoutA(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position)) {
      Line("{\"control\":" + std::to_string(id) + ",\"visible\":" + (IsWindowVisible(control) ? "true" : "false") +
           ",\"position\":" + std::to_string(static_cast<unsigned long long>(position)) + "}");
    }
  }

  // Typed as keys are: the old text selected, then one character after another.
  void Type(const std::string& argument) {
    const auto colon = argument.find(':');
    HWND control = GetDlgItem(main_window, std::atoi(argument.c_str()));
    SendMessageA(control, EM_SETSEL, 0, -1);
    const std::string text = colon == std::string::npos ? "" : argument.substr(colon + 1);
    if (text.empty()) PostMessageA(control, WM_CHAR, VK_BACK, 0);
    for (unsigned char c : text) PostMessageA(control, WM_CHAR, c, 0);
  }

  // The row of the window's first visible combo box, as a click on it would choose.
  void Select(int row) {
    for (HWND control = GetWindow(main_window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
      if (!IsWindowVisible(control) || _stricmp(ClassName(control).c_str(), "ComboBox") != 0) continue;
      SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
      PostMessageA(main_window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(control));
      return;
    }
  }

  void ListControls() {
    HookProgram();
    std::string list;
    for (HWND control = GetWindow(main_window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
      if (!IsWindowVisible(control)) continue;
      if (!list.empty()) list += ",";
      list += Describe(control);
    }
    Line("{\"controls\":[" + list + "]}");
  }

  // The control that has the keyboard focus in the program's window.
  void Focus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main_window, nullptr), &info);
    Line("{\"focus\":" + (info.hwndFocus ? Describe(info.hwndFocus) : std::string("null")) + "}");
  }

  void DescribeWindow() {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(main_window, WM_USER, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    RECT frame{}, work{};
    GetWindowRect(main_window, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    Line("{\"window\":{\"class\":" + Json(ClassName(main_window)) + ",\"title\":" + Json(WindowText(main_window)) +
         ",\"user\":" + std::to_string(static_cast<unsigned long long>(answer)) + "},\"frame\":" + Rect(frame) +
         ",\"work\":" + Rect(work) + "}");
  }

  // The window told that its monitor's scale is now DPI (from the 96 it started at).
  void ChangeDpi(int dpi) {
    HookProgram();
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(main_window, RegisterWindowMessageA("robot: change dpi"), dpi, 96, SMTO_ABORTIFHUNG, 5000,
                        &answer);
  }

  void ClickText(const std::string& text) {
    if (HWND control = FindByText(text))
      PostMessageA(control, BM_CLICK, 0, 0);
    else
      Line("{\"error\":\"no control\",\"text\":" + Json(text) + "}");
  }

  void State(int id) {
    HWND control = GetDlgItem(main_window, id);
    Line(control ? Describe(control) : "{\"control\":" + std::to_string(id) + "}");
  }

  void Escape() {
    HWND target = GetDlgItem(main_window, inst::win::control::kNext);
    PostMessageA(target ? target : main_window, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(target ? target : main_window, WM_KEYUP, VK_ESCAPE, 0);
  }

  void Act();
};

// Each action by its name: what follows the name (and its colon) is its argument.
struct Action {
  const char* name;
  void (*run)(Robot& robot, const std::string& argument);
};
int Number(const std::string& argument) { return std::atoi(argument.c_str()); }
constexpr Action kActions[] = {
    {"click",
     [](Robot& r, const std::string& a) { PostMessageA(GetDlgItem(r.main_window, Number(a)), BM_CLICK, 0, 0); }},
    {"clicktext", [](Robot& r, const std::string& a) { r.ClickText(a); }},
    {"type", [](Robot& r, const std::string& a) { r.Type(a); }},
    {"select", [](Robot& r, const std::string& a) { r.Select(Number(a)); }},
    {"controls", [](Robot& r, const std::string&) { r.ListControls(); }},
    {"escape", [](Robot& r, const std::string&) { r.Escape(); }},
    {"key", [](Robot& r, const std::string& a) { r.PressKey(a); }},
    {"focus", [](Robot& r, const std::string&) { r.Focus(); }},
    {"close", [](Robot& r, const std::string&) { PostMessageA(r.main_window, WM_CLOSE, 0, 0); }},
    {"state", [](Robot& r, const std::string& a) { r.State(Number(a)); }},
    {"window", [](Robot& r, const std::string&) { r.DescribeWindow(); }},
    {"shot", [](Robot& r, const std::string& a) { capture::HoldForPicture(r.main_window, a); }},
    {"dpi", [](Robot& r, const std::string& a) { r.ChangeDpi(Number(a)); }},
    {"wait", [](Robot&, const std::string& a) { Sleep(static_cast<DWORD>(Number(a))); }},
};

void Robot::Act() {
  if (steps.empty() || !steps.front().is_action || box_open || main_window == nullptr || !CaughtUp()) return;
  const std::string step = steps.front().text;
  const std::string name = step.substr(0, step.find(':'));
  const std::string argument = name.size() < step.size() ? step.substr(name.size() + 1) : "";
  if (name == "waitfor") {
    if (Ready(argument)) steps.pop_front();
    return;
  }
  if (name == "sample") {
    Sample(Number(argument));
    steps.pop_front();
    return;
  }
  std::string line;
  const capture::Outcome outcome = capture::RunImmediateAction(step, main_window, thread, started, line);
  if (outcome != capture::Outcome::kNotCapture) {
    if (!line.empty()) Line(line);
    if (outcome == capture::Outcome::kDone) steps.pop_front();
    return;
  }
  steps.pop_front();
  barrier_due = true;
  for (const Action& action : kActions) {
    if (name == action.name) return action.run(*this, argument);
  }
  Line("{\"error\":\"no such action\",\"text\":" + Json(step) + "}");
}

struct Options {
  std::string log, exe, args, stdout_path, stderr_path;
  double timeout = 60;
};

// --log, --answer, --do, --timeout, --exe, --env, --args, --stdout, --stderr: each takes one value.
bool ReadOptions(int argc, char** argv, Options& options, Robot& robot) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--answer" || option == "--do") {
      robot.steps.push_back({option == "--do", value});
    } else if (option == "--env") {
      const auto equals = value.find('=');
      const std::string assigned = equals == std::string::npos ? "" : value.substr(equals + 1);
      if (equals != std::string::npos)
        SetEnvironmentVariableA(value.substr(0, equals).c_str(), assigned.empty() ? nullptr : assigned.c_str());
    } else if (option == "--timeout") {
      options.timeout = std::atof(value.c_str());
    } else {
      const std::pair<const char*, std::string*> kTexts[] = {{"--log", &options.log},
                                                             {"--exe", &options.exe},
                                                             {"--args", &options.args},
                                                             {"--stdout", &options.stdout_path},
                                                             {"--stderr", &options.stderr_path}};
      for (const auto& [name, target] : kTexts)
        if (option == name) *target = value;
    }
  }
  return !options.log.empty() && !options.exe.empty();
}

// Starts the program with its standard output and error in files, as a script's
// redirection would give them.
bool StartProgram(const Options& options, PROCESS_INFORMATION& info) {
  std::string command_line = "\"" + options.exe + "\"";
  if (!options.args.empty()) command_line += " " + options.args;
  std::vector<char> command(command_line.begin(), command_line.end());
  command.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  auto open_output = [&](const std::string& path) {
    return path.empty() ? nullptr
                        : CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  const HANDLE child_stdout = open_output(options.stdout_path), child_stderr = open_output(options.stderr_path);
  const bool redirect = child_stdout != nullptr || child_stderr != nullptr;
  if (redirect) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = child_stdout;
    startup.hStdError = child_stderr;
  }
  const BOOL started = CreateProcessA(options.exe.c_str(), command.data(), nullptr, nullptr, redirect, 0, nullptr,
                                      nullptr, &startup, &info);
  if (child_stdout) CloseHandle(child_stdout);
  if (child_stderr) CloseHandle(child_stderr);
  return started != FALSE;
}

// Answers and acts until the program ends, or ends it at the time limit.
void Watch(Robot& robot, double timeout, capture::MemoryPeaks& peaks) {
  const ULONGLONG deadline = robot.started + static_cast<ULONGLONG>(timeout * 1000);
  for (;;) {
    // Read while the program lives: an ended process has no memory to report.
    peaks.Sample(robot.process);
    robot.box_open = false;
    robot.main_window = nullptr;
    EnumWindows(Robot::Visit, reinterpret_cast<LPARAM>(&robot));
    robot.Act();
    const bool watching = !robot.steps.empty() && robot.steps.front().text.rfind("shotwhen:", 0) == 0;
    if (WaitForSingleObject(robot.process, watching ? 5 : 50) == WAIT_OBJECT_0) return;
    if (GetTickCount64() > deadline) {
      TerminateProcess(robot.process, 255);
      WaitForSingleObject(robot.process, 5000);
      robot.Line("{\"timeout\":true}");
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Robot robot;
  Options options;
  if (!ReadOptions(argc, argv, options, robot)) {
    std::fprintf(
        stderr, "usage: robot --log FILE [--answer BUTTON]... [--env N=V]... [--timeout S] --exe PATH [--args TEXT]\n");
    return 2;
  }
  robot.log = std::fopen(options.log.c_str(), "w");
  if (!robot.log) return 2;
  PROCESS_INFORMATION info{};
  if (!StartProgram(options, info)) {
    robot.Line("{\"error\":\"CreateProcess failed\",\"code\":" + std::to_string(GetLastError()) + "}");
    return 2;
  }
  robot.process = info.hProcess;
  robot.thread = info.hThread;
  robot.pid = info.dwProcessId;
  robot.started = GetTickCount64();
  capture::MemoryPeaks peaks;
  Watch(robot, options.timeout, peaks);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  // The system's own record, creation to exit: what the polling cannot see.
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(info.hProcess, &created, &exited, &kernel, &user);
  auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  const ULONGLONG lifetime_us = (ticks(exited) - ticks(created)) / 10;
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  robot.Line("{\"exit\":" + std::to_string(code) + ",\"milliseconds\":" +
             std::to_string(GetTickCount64() - robot.started) + ",\"lifetime_us\":" + std::to_string(lifetime_us) +
             ",\"peak_working_set\":" + std::to_string(static_cast<unsigned long long>(peaks.working_set)) +
             ",\"peak_private_bytes\":" + std::to_string(static_cast<unsigned long long>(peaks.private_bytes)) + "}");
  std::fclose(robot.log);
  return 0;
}
