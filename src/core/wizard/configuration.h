// What the configuration page offers and writes: the message languages, its page
// text, and the product's bin folder added to the machine's PATH.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/install/registry.h"
#include "core/support/variables.h"

namespace inst {

struct MessageLanguage {
  std::uint32_t code;  // the Windows primary language identifier
  const char* name;    // as shown, in the Windows ANSI code page
};

inline constexpr MessageLanguage kMessageLanguages[] = {{7, "German;Deutsch"},
                                                        {9, "English"},
                                                        {12,
                                                         "French;Fran\xE7"
                                                         "ais"}};
inline constexpr std::size_t kDefaultLanguageRow = 1;  // English
inline constexpr const char* kEnvironmentKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// What the configuration page chose, or the command line, applied when an
// installation or a repair starts; each part changes only what it names.
struct ConfigurationChoice {
  std::optional<std::uint32_t> language;  // the page left, or "--language="
  bool add_path = false;
};

std::string ConfigurationPageText(bool dont_add_path);

// The page's choice as the command line makes it ("--language=NAME", a name of the
// list in any case; "--add-path"); the page starts from it. Returns why an option is
// refused, or nothing.
std::optional<std::string> ChooseConfigurationFromCommandLine(const InstallerVariables& variables,
                                                              ConfigurationChoice& choice);

// The ";"-separated list with the folder appended, or none when one of its entries
// is that folder already (ignoring case and one trailing backslash).
std::optional<std::string> PathWithFolder(std::string_view list, std::string_view folder);

// The Windows NT family's PATH edit: appends the folder to the machine-wide value
// `name`, keeping its type (an expandable PATH keeps its %SystemRoot% references).
// True when the folder is in the value afterwards; a value that is missing, too
// long or not a text is left alone (false).
bool AddPathEntry(Registry& registry, const std::string& name, const std::string& folder);

}  // namespace inst
