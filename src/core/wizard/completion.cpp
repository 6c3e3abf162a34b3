#include "core/wizard/completion.h"

#include <string_view>

#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "core/wizard/wizard_messages.h"

namespace inst {

namespace {

constexpr std::size_t kCompatLineLimit = 255;

// The runtime's versions that begin with `line`; the greatest whose JavaHome can be
// read is accepted. True when one is.
bool AcceptsAVersion(Registry& registry, const std::vector<std::string>& versions, std::string_view line) {
  const std::string* accepted = nullptr;
  for (const std::string& version : versions) {
    if (!std::string_view(version).starts_with(line)) continue;
    if (accepted != nullptr && version <= *accepted) continue;
    if (registry.RegistryReadString(kHKLM, std::string(kJavaRuntimeKey) + "\\" + version, "JavaHome").ok()) {
      accepted = &version;
    }
  }
  return accepted != nullptr;
}

}  // namespace

std::string CompletionText(const InstallerVariables& vars, bool restart_needed) {
  std::string text = CompletionText(vars);
  if (restart_needed) text += msg::kRestartToFinish;
  return text;
}

std::string CompletionText(const InstallerVariables& vars) {
  if (vars.TestFlag(var::kRemove)) {
    return vars.ExpandVariables(msg::kUninstalledText);
  }
  if (vars.TestFlag(var::kInstall)) {
    const std::string* patch = vars.GetVariable(var::kPatchLevel);
    if (patch == nullptr || EqualsIgnoreCase(*patch, "PL0")) {
      return vars.ExpandVariables(msg::kInstalledText);
    }
    return vars.ExpandVariables(msg::kInstalledTextPatchLevel);
  }
  return vars.ExpandVariables(msg::kRepairedText);
}

std::vector<CompletionDocument> ReadDocumentList(const InstallerVariables& vars, Messages& messages) {
  std::vector<CompletionDocument> documents;
  const std::string listed = vars.ValueOf(var::kReadPDFs);
  std::string_view names = listed;
  const std::string folder = vars.ValueOf(var::kInstDir);
  for (;;) {
    const auto bar = names.find('|');
    const std::string name(names.substr(0, bar));
    const std::string* value = vars.GetVariable(name);
    if (value == nullptr) messages.FatalError(msg::kCantFindVariable, name.c_str());
    const auto split = value->find('|');
    if (split == std::string::npos) messages.FatalError(msg::kSyntaxErrorInVariable, name.c_str());
    documents.insert(documents.begin(), {value->substr(split + 1), JoinPath(folder, value->substr(0, split))});
    if (bar == std::string_view::npos) break;
    names.remove_prefix(bar + 1);
  }
  return documents;
}

bool JavaNeeded(const InstallerVariables& vars, Registry& registry, FileSystem& files) {
  if (vars.GetVariable(var::kJava) == nullptr) return false;
  const std::string* list_path = vars.GetVariable("JCOMPAT");
  if (list_path == nullptr) return true;
  const std::optional<std::string> list = files.ReadWholeFile(*list_path);
  if (!list) return true;
  const SubkeyList versions = registry.RegistryListSubkeys(kHKLM, kJavaRuntimeKey);
  if (versions.names.empty()) return true;

  std::string_view rest = *list;
  while (!rest.empty()) {
    // Lines are read in pieces of at most 255 characters, as a fixed buffer would.
    auto end = rest.find('\n');
    const bool piece = end == std::string_view::npos || end > kCompatLineLimit;
    if (piece) end = std::min(rest.size(), kCompatLineLimit);
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(piece ? end : end + 1);
    if (line.empty() || line[0] == '\r' || line[0] == '#') continue;
    // A list saved with Windows line ends matches too.
    if (line.back() == '\r') line.remove_suffix(1);
    if (AcceptsAVersion(registry, versions.names, line)) return false;
  }
  return true;
}

}  // namespace inst
