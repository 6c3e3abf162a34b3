// The completion page: what the run did, and check boxes for what can follow once
// the window has closed (the IDE or the Java installer it needs, the quick-start
// guide, the product's documents).
#pragma once
#include <vector>

#include "win/pages/page_base.h"

namespace inst::win {

class CompletionPage final : public WindowPage {
 public:
  using WindowPage::WindowPage;
  std::uint32_t Enter(bool forward) override;
  std::uint32_t Leave(bool forward) override;
  // Every command, Finish's included, records the choices: Finish ends the wizard
  // without leaving the page.
  bool Command(int id) override;

 private:
  bool Passed() const;
  // A check box in the next row up from the bottom of the frame.
  HWND AddRow(const char* text, int width, bool checked);
  void RecordChoices();

  int rows_ = 0;
  HWND frame_ = nullptr;
  HWND tessara_ = nullptr;
  HWND java_ = nullptr;
  HWND quickstart_ = nullptr;
  std::vector<HWND> document_boxes_;  // beside the process's documents
};

}  // namespace inst::win
