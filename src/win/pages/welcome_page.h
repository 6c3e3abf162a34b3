// The welcome page: the product greets the user and newer installed versions are
// asked about, or the installed copy offers to repair or remove the installation.
#pragma once
#include <optional>
#include <string>

#include "win/pages/page_base.h"

namespace inst::win {

class WelcomePage final : public WindowPage {
 public:
  using WindowPage::WindowPage;
  std::uint32_t Enter(bool forward) override;
  std::uint32_t Leave(bool forward) override;
  bool Command(int id) override;

 private:
  bool Passed() const;
  void UpdateNext();
  // False when a newer version is installed and the user does not want this one.
  bool InstalledVersionAllowsInstall();

  std::optional<std::string> text_;
  HWND frame_ = nullptr;
  HWND repair_ = nullptr;
  HWND remove_ = nullptr;
  bool proceed_ = true;
};

}  // namespace inst::win
