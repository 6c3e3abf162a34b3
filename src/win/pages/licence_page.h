// The licence page: the licence text, and Next only once it is accepted.
#pragma once
#include "win/pages/page_base.h"

namespace inst::win {

class LicencePage final : public WindowPage {
 public:
  using WindowPage::WindowPage;
  std::uint32_t Enter(bool forward) override;
  std::uint32_t Leave(bool forward) override;
  bool Command(int id) override;

 private:
  HWND text_box_ = nullptr;
  HWND accept_ = nullptr;
};

}  // namespace inst::win
