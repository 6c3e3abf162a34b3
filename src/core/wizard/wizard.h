// The wizard's page table and its navigation protocol. Pages are procedures told
// when they are entered (WZ_ENTER) and left (WZ_LEAVE); a page may refuse to be
// left, ask to be skipped, or lock the way back. A headless run drives the same
// protocol without any window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/support/variables.h"

namespace inst {

inline constexpr std::uint32_t WZ_ENTER = 1126;
inline constexpr std::uint32_t WZ_LEAVE = 1127;

// Results: on WZ_LEAVE, stay; on WZ_ENTER, skip and lock Back.
inline constexpr std::uint32_t kPageStay = 1;
inline constexpr std::uint32_t kPageSkip = 2;
inline constexpr std::uint32_t kPageLockBack = 4;

// One page of the wizard. `forward` is true when the move goes to a higher index.
class Page {
 public:
  virtual ~Page() = default;
  // WZ_ENTER: 0 shows the page; kPageSkip and kPageLockBack as above.
  virtual std::uint32_t Enter(bool forward) = 0;
  // WZ_LEAVE: kPageStay keeps the page.
  virtual std::uint32_t Leave(bool forward) = 0;
  // A command from a control while the page is shown; true when the page took it,
  // so that the frame does nothing more with it.
  virtual bool Command(int /*id*/) { return false; }
};

struct PageRecord {
  bool enabled = true;
  std::string name;
  std::string title;
  Page* page = nullptr;  // owned by whoever owns the wizard
};

// The frame's side of navigation: its buttons and the end of the run.
class WizardFrame {
 public:
  virtual ~WizardFrame() = default;
  virtual void EnableNext(bool on) = 0;
  virtual void EnableBack(bool on) = 0;
  virtual void EnableCancel(bool on) = 0;
  virtual void SetNextText(const char* text) = 0;
  virtual void Repaint() = 0;
  // QuitInstaller(0): the wizard went past its last page.
  virtual void Finish() = 0;
};

// The window's title: what the run does to the product, once that is known.
std::string WindowTitle(const InstallerVariables& vars);

class Wizard {
 public:
  Wizard(std::vector<PageRecord> pages, WizardFrame& frame) : pages_(std::move(pages)), frame_(frame) {}

  void GoToPage(int target);
  // The Next and Back buttons.
  void Next();
  void Back();

  // Hands a control's command to the page shown; true when it took it.
  bool Command(int id) { return current_ >= 0 && current_ < end_index() && pages_[current_].page->Command(id); }

  int current_page() const { return current_; }
  bool back_locked() const { return back_locked_; }
  int end_index() const { return static_cast<int>(pages_.size()); }
  bool on_last_page() const { return current_ == end_index() - 1; }

 private:
  std::vector<PageRecord> pages_;
  WizardFrame& frame_;
  int current_ = -1;
  bool back_locked_ = false;
};

}  // namespace inst
