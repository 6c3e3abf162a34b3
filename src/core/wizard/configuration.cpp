#include "core/wizard/configuration.h"

#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"

namespace inst {

std::string ConfigurationPageText(bool dont_add_path) {
  std::string text = msg::kConfigurationText;
  if (!dont_add_path) text += msg::kConfigurationPathNote;
  return text;
}

std::optional<std::string> ChooseConfigurationFromCommandLine(const InstallerVariables& variables,
                                                              ConfigurationChoice& choice) {
  if (const std::string* name = variables.GetVariable(var::kMessageLanguage)) {
    const MessageLanguage* found = nullptr;
    for (const MessageLanguage& language : kMessageLanguages) {
      // A list name may carry the language's own name after ";": either is taken.
      std::string_view names = language.name;
      while (const auto alias = NextToken(names, ";"))
        if (EqualsIgnoreCase(*alias, *name)) found = &language;
    }
    if (found == nullptr) return FormatText(msg::kUnknownLanguage, name->c_str());
    choice.language = found->code;
  }
  if (variables.TestFlag(var::kAddPath)) {
    if (variables.TestFlag(var::kDontAddPath)) return std::string(msg::kPathNotOffered);
    choice.add_path = true;
  }
  return std::nullopt;
}

std::optional<std::string> PathWithFolder(std::string_view list, std::string_view folder) {
  auto bare = [](std::string_view entry) {
    if (!entry.empty() && entry.back() == '\\') entry.remove_suffix(1);
    return entry;
  };
  std::string_view rest = list;
  while (!rest.empty()) {
    const auto end = rest.find(';');
    if (EqualsIgnoreCase(bare(rest.substr(0, end)), bare(folder))) return std::nullopt;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  std::string out(list);
  if (!out.empty() && out.back() != ';') out += ';';
  return out + std::string(folder);
}

bool AddPathEntry(Registry& registry, const std::string& name, const std::string& folder) {
  const RegistryValue current = registry.RegistryReadStored(kHKLM, kEnvironmentKey, name);
  if (!current.ok()) return false;
  const std::optional<std::string> updated = PathWithFolder(current.text, folder);
  if (!updated) return true;
  const std::uint32_t error = current.expandable
                                  ? registry.RegistryWriteExpandString(kHKLM, kEnvironmentKey, name, *updated)
                                  : registry.RegistryWriteString(kHKLM, kEnvironmentKey, name, *updated);
  return error == kErrorSuccess;
}

}  // namespace inst
