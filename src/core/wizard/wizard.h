// The wizard's page table and its navigation protocol. Pages are procedures told
// when they are entered (WZ_ENTER) and left (WZ_LEAVE); a page may refuse to be
// left, ask to be skipped, or lock the way back. A headless run drives the same
// protocol without any window.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace inst {

inline constexpr std::uint32_t WZ_ENTER = 1126;
inline constexpr std::uint32_t WZ_LEAVE = 1127;

// Results: on WZ_LEAVE, stay; on WZ_ENTER, skip and lock Back.
inline constexpr std::uint32_t kPageStay = 1;
inline constexpr std::uint32_t kPageSkip = 2;
inline constexpr std::uint32_t kPageLockBack = 4;

// event is WZ_ENTER or WZ_LEAVE; forward is true when the move goes to a higher index.
using PageProc = std::function<std::uint32_t(std::uint32_t event, bool forward)>;

struct PageRecord {
  bool enabled = true;
  std::string name;
  std::string title;
  PageProc procedure;
};

// The frame's side of navigation: its buttons and the end of the run.
class WizardFrame {
 public:
  virtual ~WizardFrame() = default;
  virtual bool Headless() = 0;
  virtual void EnableNext(bool on) = 0;
  virtual void EnableBack(bool on) = 0;
  virtual void EnableCancel(bool on) = 0;
  virtual void SetNextText(const char* text) = 0;
  virtual void Repaint() = 0;
  // QuitInstaller(0): the wizard went past its last page.
  virtual void Finish() = 0;
};

class Wizard {
 public:
  Wizard(std::vector<PageRecord> pages, WizardFrame& frame) : pages_(std::move(pages)), frame_(frame) {}

  void GoToPage(int target);
  // The Next and Back buttons.
  void Next();
  void Back();

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
