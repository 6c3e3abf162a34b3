#include "core/wizard/install_folder.h"

#include <cstdio>

#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"

namespace inst {

ComponentChoice ChooseComponentBoxes(const ManifestLists& lists, const std::function<bool(std::size_t)>& has_content,
                                     const InstallerLocator& locate) {
  ComponentChoice choice;
  while (ComponentDescription(lists, choice.count)) ++choice.count;
  if (choice.count < 2) return choice;
  for (std::size_t index = 0; index < choice.count; ++index) {
    if (!has_content(index)) continue;
    const std::string description = *ComponentDescription(lists, index);
    std::string label = description;
    if (ComponentInstalled(lists, index)) {
      label = FormatText(msg::kInstalledComponent, description.c_str());
    } else if (ComponentToBeDownloaded(lists, index, locate)) {
      label = FormatText(msg::kDownloadedComponent, description.c_str());
      choice.any_download = true;
    }
    const int state = ComponentState(lists, index);
    choice.boxes.push_back({index, label, state != 0, ComponentAvailable(lists, index) && state != 2});
  }
  return choice;
}

std::string InstallFolderPageText(const ComponentChoice& choice) {
  if (choice.count < 2) return msg::kChooseFolderText;
  std::string text = msg::kChooseComponentsText;
  if (choice.any_download) text += msg::kDownloadMarkNote;
  return text;
}

DialogPlace FramePlace(const ComponentChoice& choice) {
  const int n = static_cast<int>(choice.rows());
  return {25, 205 - 15 * n, 350, 15 * n + 35};
}

DialogPlace ComponentBoxPlace(const ComponentChoice& choice, std::size_t k) {
  const int n = static_cast<int>(choice.rows());
  return {30, 210 - 15 * n + 15 * static_cast<int>(k), 340, 10};
}

std::string SpaceQueryPath(const std::string& folder_text) {
  if (folder_text.size() >= 2 && folder_text[1] == ':') return folder_text.substr(0, 2) + "\\";
  return folder_text;
}

std::string SpaceAvailableText(std::uint32_t megabytes) {
  return FormatText(msg::kSpaceAvailable, static_cast<unsigned long>(megabytes));
}

std::string SpaceRequiredText(std::uint32_t kilobytes) {
  return FormatText(msg::kSpaceRequired, kilobytes * 0.0009765625);
}

std::string PreviousInstallerPath(const std::string& folder_text) {
  return JoinPath(folder_text, "resources\\setup.exe");
}

}  // namespace inst
