// The two line grammars of the manifest that describe system changes: a [Registry]
// line, and the value of a [Shortcuts] line.
#pragma once
#include <string>
#include <string_view>
#include <variant>

#include "core/manifest/manifest.h"
#include "core/support/messages.h"

namespace inst {

// ROOT\KEY\PATH\VALUENAME=DATA, DATA a hexadecimal number or a "quoted string".
// On a malformed line the result is the fatal message.
std::variant<RegistryRecord, std::string> ParseRegistryEntry(std::string_view line);

// TARGET[>ARGUMENTS][,ICONVARIABLE]: pieces split at ">" and ",", empty ones skipped.
ShortcutRecord ParseShortcut(std::string_view name, std::string_view value);

// Parses a [Registry] line onto registry_list; a malformed line is fatal.
void AddRegistryEntry(ManifestLists& lists, std::string_view line, Messages& messages);

// Parses a shortcut onto shortcut_list, creating the list on first use.
// Where the shell link a [Shortcuts] line makes goes, and the file it points to (a
// full path as written, else a path in the installation).
std::string ShortcutLinkPath(const InstallerVariables& variables, const ShortcutRecord& shortcut);
std::string ShortcutTarget(const InstallerVariables& variables, const ShortcutRecord& shortcut);

void AddShortcut(ManifestLists& lists, std::string_view name, std::string_view value);

}  // namespace inst
