#include "core/support/variables.h"

#include <cstdlib>

#include "core/support/limits.h"
#include "core/support/variable_names.h"

namespace inst {

std::string DefaultProgramFiles(const std::optional<std::string>& program_files,
                                const std::optional<std::string>& system_drive) {
  if (program_files && !program_files->empty()) return *program_files;
  if (system_drive && system_drive->size() >= 2) {
    const char letter = AsciiUpper((*system_drive)[0]);
    if (letter >= 'A' && letter <= 'Z' && (*system_drive)[1] == ':') {
      return system_drive->substr(0, 2) + "\\Program Files";
    }
  }
  return "C:\\Program Files";
}

InstallerVariables::InstallerVariables(const EnvironmentLookup& environment) {
  SetVariable(var::kProgramFiles, DefaultProgramFiles(environment("ProgramFiles"), environment("SystemDrive")));
}

void InstallerVariables::Fatal(const std::string& message) const {
  if (fatal_) fatal_(message);
  std::abort();  // a fatal handler never returns; nothing sensible can follow
}

const std::string* InstallerVariables::GetVariable(std::string_view name) const {
  const auto it = entries_.find(name);
  return it == entries_.end() ? nullptr : &it->second.value;
}

std::string InstallerVariables::ValueOf(std::string_view name) const {
  const std::string* value = GetVariable(name);
  return value ? *value : std::string();
}

const std::string& InstallerVariables::SetVariable(std::string_view name, std::string_view value) {
  auto it = entries_.find(name);
  if (it == entries_.end()) {
    it = entries_.emplace(std::string(name), Entry{std::string(name), std::string(value)}).first;
  } else {
    it->second.name = std::string(name);
    it->second.value = std::string(value);
  }
  if (EqualsIgnoreCase(name, "Version") || EqualsIgnoreCase(name, "PatchLevel")) UpdateFullVersion();
  return it->second.value;
}

void InstallerVariables::UpdateFullVersion() {
  const std::string* patch = GetVariable(var::kPatchLevel);
  if (patch == nullptr || EqualsIgnoreCase(*patch, "PL0")) {
    const std::string* version = GetVariable(var::kVersion);
    // Without a Version there is no value to give FullVersion.
    if (version == nullptr) Fatal("Bad call to SetVariable: FullVersion");
    SetVariable(var::kFullVersion, std::string(*version));
  } else {
    SetVariable(var::kFullVersion, ExpandVariables("[Version][PatchLevel]"));
  }
}

void InstallerVariables::DeleteVariable(std::string_view name) {
  const auto it = entries_.find(name);
  if (it != entries_.end()) entries_.erase(it);
}

std::string InstallerVariables::ExpandVariables(std::string_view text) const {
  std::string out;
  std::size_t i = 0;
  while (i < text.size() && out.size() < kMaxExpansionLength) {
    const char c = text[i];
    if (c != '[') {
      out += c;
      ++i;
      continue;
    }
    const auto close = text.find(']', i + 1);
    if (close == std::string_view::npos) break;  // an unclosed reference drops the rest
    const std::string_view name = text.substr(i + 1, close - i - 1);
    if (name.size() <= kMaxReferenceNameLength) {
      const std::string* value = GetVariable(name);
      // A value that does not fit is left out whole rather than cut.
      if (value != nullptr && value->size() < kMaxExpansionLength - out.size()) out += *value;
    }
    i = close + 1;
  }
  return out;
}

bool InstallerVariables::TestFlag(std::string_view name) const {
  const std::string* value = GetVariable(name);
  return value != nullptr && (EqualsIgnoreCase(*value, "yes") || EqualsIgnoreCase(*value, "true"));
}

bool InstallerVariables::VariableEquals(std::string_view name, std::string_view text) const {
  const std::string* value = GetVariable(name);
  return value != nullptr && EqualsIgnoreCase(*value, text);
}

const std::string& InstallerVariables::VersionBase() {
  // An empty result is taken again, as nothing was kept.
  if (!version_base_ || version_base_->empty()) {
    std::string base = ValueOf(var::kVersion).substr(0, kMaxVersionBaseLength);
    const auto pl = base.find("PL");
    if (pl != std::string::npos) base.resize(pl);
    version_base_ = std::move(base);
  }
  return *version_base_;
}

std::string InstallationPath(const InstallerVariables& variables, std::string_view relative) {
  return JoinPath(variables.ValueOf(var::kInstDir), relative);
}

}  // namespace inst
