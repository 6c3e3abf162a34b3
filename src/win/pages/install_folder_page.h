// The install-folder and components page: the folder, the components to install,
// the space they need and the space free; a previous installation in the folder
// can be removed first.
#pragma once
#include <string>
#include <vector>

#include "core/wizard/install_folder.h"
#include "win/pages/page_base.h"

namespace inst::win {

class InstallFolderPage final : public WindowPage {
 public:
  using WindowPage::WindowPage;
  std::uint32_t Enter(bool forward) override;
  std::uint32_t Leave(bool forward) override;
  bool Command(int id) override;

 private:
  void CreateControls();
  void ShowAll(bool show);
  std::string FolderText() const;
  void UpdateSpace();
  // False when the user keeps the page rather than install into that folder.
  bool AcceptFolder(const std::string& folder);

  bool created_ = false;
  ComponentChoice choice_;
  std::vector<HWND> boxes_;  // beside choice_.boxes
  HWND frame_ = nullptr;
  HWND folder_ = nullptr;
  HWND required_ = nullptr;
  HWND available_ = nullptr;
};

}  // namespace inst::win
