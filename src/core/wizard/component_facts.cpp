#include "core/wizard/component_facts.h"

#include <algorithm>

#include "core/install/download.h"
#include "core/support/text.h"

namespace inst {

namespace {

const ComponentRecord* At(const ManifestLists& lists, std::size_t index) {
  if (!lists.component_list || index >= lists.component_list->size()) return nullptr;
  return (*lists.component_list)[index].get();
}

}  // namespace

std::optional<std::string> ComponentDescription(const ManifestLists& lists, std::size_t index) {
  const ComponentRecord* component = At(lists, index);
  return component ? component->description : std::nullopt;
}

bool ComponentInstalled(const ManifestLists& lists, std::size_t index) {
  const ComponentRecord* component = At(lists, index);
  return component && std::all_of(component->features.begin(), component->features.end(),
                                  [](const FeaturePtr& feature) { return feature->installed; });
}

bool ComponentToBeDownloaded(const ManifestLists& lists, std::size_t index, const InstallerLocator& locate) {
  const ComponentRecord* component = At(lists, index);
  if (!component) return false;
  for (const FeaturePtr& feature : component->features) {
    for (const InstallerRecord& installer : feature->installers) {
      const std::optional<std::string> source = locate(installer);
      if (source && IsUrl(*source)) return true;
    }
  }
  return false;
}

int ComponentState(const ManifestLists& lists, std::size_t index) {
  const ComponentRecord* component = At(lists, index);
  if (!component) return 0;
  return component->required ? 2 : component->selected ? 1 : 0;
}

bool ComponentAvailable(const ManifestLists& lists, std::size_t index) {
  const ComponentRecord* component = At(lists, index);
  return component && component->available;
}

void SetComponentSelected(ManifestLists& lists, std::size_t index, bool on) {
  if (!lists.component_list || index >= lists.component_list->size()) return;
  ComponentRecord& component = *(*lists.component_list)[index];
  component.selected = component.required || on;
}

}  // namespace inst
