// Facts about the components by their place in component_list, as the components
// page asks for them. An index past the end gives none, 0 or false and changes
// nothing.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "core/manifest/manifest.h"

namespace inst {

// The source an installer entry would be run from (its own or its first usable
// alternate), or none when none is usable.
using InstallerLocator = std::function<std::optional<std::string>(const InstallerRecord&)>;

std::optional<std::string> ComponentDescription(const ManifestLists& lists, std::size_t index);
// True when every feature is installed (also when there is none).
bool ComponentInstalled(const ManifestLists& lists, std::size_t index);
// True when some feature has an installer whose chosen source is a web or ftp address.
bool ComponentToBeDownloaded(const ManifestLists& lists, std::size_t index, const InstallerLocator& locate);
// 2 when required, else 1 when selected, else 0.
int ComponentState(const ManifestLists& lists, std::size_t index);
bool ComponentAvailable(const ManifestLists& lists, std::size_t index);
// A required component stays selected.
void SetComponentSelected(ManifestLists& lists, std::size_t index, bool on);

}  // namespace inst
