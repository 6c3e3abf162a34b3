// The configuration page: the language of the product's messages, and the
// product's bin folder on the machine's PATH.
#pragma once
#include "win/pages/page_base.h"

namespace inst::win {

class ConfigurationPage final : public WindowPage {
 public:
  using WindowPage::WindowPage;
  std::uint32_t Enter(bool forward) override;
  std::uint32_t Leave(bool forward) override;

 private:
  bool Passed() const;

  HWND frame_ = nullptr;
  HWND languages_ = nullptr;
  HWND add_path_ = nullptr;
};

}  // namespace inst::win
