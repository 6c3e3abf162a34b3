#include "core/manifest/entry_grammars.h"

#include <vector>

#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

namespace {

RegistryRoot RootCode(std::string_view root) {
  if (EqualsIgnoreCase(root, "HKPP")) return kRootHKPP;
  if (EqualsIgnoreCase(root, "HKLM")) return kHKLM;
  if (EqualsIgnoreCase(root, "HKCR")) return kHKCR;
  if (EqualsIgnoreCase(root, "HKCC")) return kHKCC;
  if (EqualsIgnoreCase(root, "HKCU")) return kHKCU;
  return kRootOther;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A hexadecimal number as a "%lX" conversion reads it: leading blanks, an optional
// sign and "0x", then digits (kept modulo 2^32).
std::optional<std::uint32_t> ReadHex(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') && i + 2 < text.size() &&
      HexDigit(text[i + 2]) >= 0) {
    i += 2;
  }
  if (i >= text.size() || HexDigit(text[i]) < 0) return std::nullopt;
  std::uint32_t value = 0;
  for (; i < text.size() && HexDigit(text[i]) >= 0; ++i)
    value = value * 16 + static_cast<std::uint32_t>(HexDigit(text[i]));
  return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

}  // namespace

std::variant<RegistryRecord, std::string> ParseRegistryEntry(std::string_view line) {
  const std::string bad = "Bad registry entry under [Registry]";
  const auto first = line.find('\\');
  if (first == std::string_view::npos) return bad;
  RegistryRecord record;
  record.root = RootCode(line.substr(0, first));
  const std::string_view rest = line.substr(first + 1);
  const auto last = rest.rfind('\\');
  if (last == std::string_view::npos) return bad;
  record.key_path = std::string(rest.substr(0, last));
  const std::string_view assignment = rest.substr(last + 1);
  const auto equals = assignment.find('=');
  if (equals == std::string_view::npos) return bad;
  record.value_name = std::string(assignment.substr(0, equals));
  const std::string_view data = assignment.substr(equals + 1);
  if (data.empty() || data.front() != '"') {
    const auto number = ReadHex(data);
    if (!number) return std::string("Bad DWORD registry entry under [Registry]");
    record.kind = kRegistryNumber;
    record.number = *number;
  } else {
    const auto closing = data.rfind('"');
    if (closing == 0) return std::string("Bad string registry entry under [Registry]");
    record.kind = kRegistryString;
    record.text = std::string(data.substr(1, closing - 1));
  }
  return record;
}

ShortcutRecord ParseShortcut(std::string_view name, std::string_view value) {
  ShortcutRecord record;
  record.name = std::string(name);
  const bool has_arguments = value.find('>') != std::string_view::npos;
  std::vector<std::string> pieces;
  std::string_view rest = value;
  while (auto piece = NextToken(rest, has_arguments ? ">," : ",")) pieces.emplace_back(*piece);
  if (!pieces.empty()) record.target = pieces[0];
  if (has_arguments) {
    if (pieces.size() > 1) record.arguments = pieces[1];
    if (pieces.size() > 2) record.icon = pieces[2];
  } else if (pieces.size() > 1) {
    record.icon = pieces[1];
  }
  return record;
}

void AddRegistryEntry(ManifestLists& lists, std::string_view line, Messages& messages) {
  auto entry = ParseRegistryEntry(line);
  if (auto* message = std::get_if<std::string>(&entry)) messages.FatalText(*message);
  lists.registry_list.push_back(std::get<RegistryRecord>(std::move(entry)));
}

std::string ShortcutLinkPath(const InstallerVariables& variables, const ShortcutRecord& shortcut) {
  return JoinPath(variables.ValueOf(var::kShortcutFolder), shortcut.name + ".lnk");
}

std::string ShortcutTarget(const InstallerVariables& variables, const ShortcutRecord& shortcut) {
  return IsFullPath(shortcut.target) ? shortcut.target : InstallationPath(variables, shortcut.target);
}

void AddShortcut(ManifestLists& lists, std::string_view name, std::string_view value) {
  if (!lists.shortcut_list) lists.shortcut_list.emplace();
  lists.shortcut_list->push_back(ParseShortcut(name, value));
}

}  // namespace inst
