// InstallerVariables: the one store of named texts (product data, paths of unpacked
// resources, run-time switches). Names compare ignoring case; any text may refer to
// a variable as [Name] and is expanded with ExpandVariables.
#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/support/text.h"

namespace inst {

class InstallerVariables {
 public:
  using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;
  using FatalHandler = std::function<void(const std::string& message)>;

  // Sets ProgramFiles from the environment (ProgramFiles, else SystemDrive, else C:).
  explicit InstallerVariables(const EnvironmentLookup& environment);

  // Receives the fatal message for a call that cannot be honoured; must not return.
  void SetFatalHandler(FatalHandler handler) { fatal_ = std::move(handler); }

  // The stored value, or null when absent. Valid until the variable is deleted.
  const std::string* GetVariable(std::string_view name) const;
  // The value, or the empty text when absent.
  std::string ValueOf(std::string_view name) const;
  const std::string& SetVariable(std::string_view name, std::string_view value);
  void DeleteVariable(std::string_view name);

  // One left-to-right pass replacing [Name] by the variable's value; at most
  // kMaxExpansionLength characters out.
  std::string ExpandVariables(std::string_view text) const;

  void SetFlag(std::string_view name, bool on) { SetVariable(name, on ? "yes" : "no"); }
  // True when the value is "yes" or "true", ignoring case.
  bool TestFlag(std::string_view name) const;
  bool VariableEquals(std::string_view name, std::string_view text) const;

  // Version cut before its first "PL", taken once: later changes of Version do not
  // change the result.
  const std::string& VersionBase();

  std::size_t Count() const { return entries_.size(); }

 private:
  struct Entry {
    std::string name;  // letter case of the latest set
    std::string value;
  };
  [[noreturn]] void Fatal(const std::string& message) const;
  void UpdateFullVersion();

  std::map<std::string, Entry, LessIgnoreCase> entries_;
  std::optional<std::string> version_base_;
  FatalHandler fatal_;
};

// The default programs folder, from the values of the environment variables
// ProgramFiles and SystemDrive (either may be absent).
std::string DefaultProgramFiles(const std::optional<std::string>& program_files,
                                const std::optional<std::string>& system_drive);

// A path inside the installation folder (InstDir), joined as every path is.
std::string InstallationPath(const InstallerVariables& variables, std::string_view relative);

}  // namespace inst
