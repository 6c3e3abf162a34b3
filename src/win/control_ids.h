// The identifier of every control of the wizard window, by page. The test robot
// and its scripts find controls by these numbers: a change here is a change there.
#pragma once
#include <windows.h>

namespace inst::win::control {

// The wizard window's class, by which other programs find it.
inline constexpr const char* kWindowClass = "VORANTH Installer";

// The frame: buttons and the status box over the page.
inline constexpr int kNext = 101;
inline constexpr int kBack = 102;
inline constexpr int kCancel = IDCANCEL;
inline constexpr int kStatus = 503;
// The page's text, which screen readers read (and announce when it changes).
inline constexpr int kPageText = 504;

// Install-folder page: the folder box, then one box per component from
// kFirstComponent (its index in the component list added).
inline constexpr int kFolder = 201;
inline constexpr int kFirstComponent = 250;
inline constexpr int kLastComponent = 260;

// Licence page.
inline constexpr int kLicenceText = 301;
inline constexpr int kAccept = 302;

// Configuration page.
inline constexpr int kAddPath = 401;

// Progress page.
inline constexpr int kLog = 501;
inline constexpr int kBar = 502;

// Welcome page of an installed copy.
inline constexpr int kRemove = 601;
inline constexpr int kRepair = 602;

// Completion page: its frame, heading and rows, told apart by their text.
inline constexpr int kCompletionRow = 701;

}  // namespace inst::win::control
