// What the install-folder and components page shows and decides, apart from its
// controls: the component check boxes and their places, the page text, the space
// texts, where a previous installation's remover would be, and the MPLAB plug-in
// index of an earlier installation.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/install/installer_state.h"
#include "core/install/product_registration.h"
#include "core/install/registry.h"
#include "core/wizard/component_facts.h"

namespace inst {

// The folder box is read up to this many characters.
inline constexpr std::size_t kMaxFolderText = 2048;

struct ComponentBox {
  std::size_t index;  // in component_list
  std::string label;
  bool checked;
  bool enabled;
};

struct ComponentChoice {
  // Components counted for the page: those with a description, up to the first without.
  std::size_t count = 0;
  // One box per counted component with content; none when the count is below 2.
  std::vector<ComponentBox> boxes;
  bool any_download = false;
  // n of the layout: the count when it is more than 1, else 0.
  std::size_t rows() const { return count > 1 ? count : 0; }
};

ComponentChoice ChooseComponentBoxes(const ManifestLists& lists, const std::function<bool(std::size_t)>& has_content,
                                     const InstallerLocator& locate);

std::string InstallFolderPageText(const ComponentChoice& choice);

// Places in dialog units.
struct DialogPlace {
  int x, y, width, height;
};
DialogPlace FramePlace(const ComponentChoice& choice);
DialogPlace ComponentBoxPlace(const ComponentChoice& choice, std::size_t k);

// The path whose free space is shown: the drive root when the text starts with a
// drive letter, else the text as it stands.
std::string SpaceQueryPath(const std::string& folder_text);
std::string SpaceAvailableText(std::uint32_t megabytes);
std::string SpaceRequiredText(std::uint32_t kilobytes);

// The remover a previous installation in that folder left: "resources\setup.exe" in it.
std::string PreviousInstallerPath(const std::string& folder_text);

}  // namespace inst
