#include "core/install/vendor_tools.h"

#include <algorithm>
#include <optional>

#include "core/install/install_messages.h"
#include "core/install/product_registration.h"
#include "core/install/registry_names.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

std::string ExpandProductPath(const InstallerVariables& variables, const char* before, const char* after) {
  const char* path =
      variables.GetVariable(var::kEdition) ? "[Manufacturer]\\[Product]\\[Edition]" : "[Manufacturer]\\[Product]";
  return variables.ExpandVariables(std::string(before) + path + after);
}

bool IsMplabPlugin(const InstallerVariables& variables) {
  const std::string* product = variables.GetVariable(var::kProduct);
  return product && *product == "MPLAB Plugin";
}

std::string MplabPluginKey(const InstallerVariables& variables) {
  return variables.ExpandVariables("SOFTWARE\\[Manufacturer]\\MPLAB Plugin");
}

std::optional<std::string> MplabPluginCurrentPath(const InstallerVariables& variables, Registry& registry,
                                                  FileSystem& files) {
  const RegistryValue path = registry.RegistryReadString(kHKLM, MplabPluginKey(variables), reg::kPluginPath);
  if (!path.ok() || !files.FileExists(path.text)) return std::nullopt;
  return path.text;
}

std::optional<std::string> MplabPluginCurrentVersion(const InstallerVariables& variables, Registry& registry,
                                                     FileSystem& files) {
  if (!MplabPluginCurrentPath(variables, registry, files)) return std::nullopt;
  const RegistryValue version = registry.RegistryReadString(kHKLM, MplabPluginKey(variables), reg::kPluginVersion);
  if (!version.ok()) return std::nullopt;
  return version.text;
}

std::optional<std::string> NewestInstalledVersion(const InstallerVariables& variables, Registry& registry,
                                                  FileSystem& files) {
  const SubkeyList versions = registry.RegistryListSubkeys(kHKLM, ExpandProductPath(variables, "SOFTWARE\\", ""));
  if (versions.error != 0) return std::nullopt;
  if (IsMplabPlugin(variables)) return MplabPluginCurrentVersion(variables, registry, files).value_or("");
  // Version keys are compared by their first characters as text, as they always were.
  constexpr std::size_t kMaxVersionName = 9;
  std::string newest;
  for (const std::string& name : versions.names) newest = std::max(newest, name.substr(0, kMaxVersionName));
  return newest;
}

void RegisterFasmTools(InstallerState& state, Registry& registry, Messages& messages, ProductRegistration& product) {
  const std::string folder = state.variables.ValueOf(var::kInstDir);
  const std::pair<const char*, std::string> values[] = {
      {"fasm", JoinPath(folder, "CFASMTools\\CFASM.exe")},
      {"fasmsetup", JoinPath(folder, "CFASMTools\\SimConfigSetup.exe")},
  };
  for (const auto& [name, path] : values) {
    if (const std::uint32_t error = registry.RegistryWriteString(kHKLM, product.PatchLevelKey(), name, path)) {
      messages.FatalError(msg::kRegistryWriteFailure, static_cast<int>(error));
    }
  }
}

void ConfigureHoltekIDE(InstallerState& state, Registry& registry,
                        const std::function<void(const std::string&, const std::string&, const std::string&,
                                                 const std::string&)>& write_profile) {
  constexpr const char* kHoltekKey = "SOFTWARE\\Holtek Inc.";
  const SubkeyList vendors = registry.RegistryListSubkeys(kHKLM, kHoltekKey);
  std::optional<std::string> compiler;
  std::string last_file;
  for (const std::string& vendor : vendors.names) {
    const std::string vendor_key = std::string(kHoltekKey) + "\\" + vendor;
    for (const std::string& product : registry.RegistryListSubkeys(kHKLM, vendor_key).names) {
      const RegistryValue dir = registry.RegistryReadString(kHKLM, vendor_key + "\\" + product, "Dir");
      if (!dir.ok()) continue;
      last_file = JoinPath(dir.text, "bin\\ht-ide3000.ini");
      if (!compiler) compiler = FormatText("\"%s\"", InstallationPath(state.variables, "bin\\vrkc.exe").c_str());
      write_profile(last_file, "Voranth", "COMPILER", *compiler);
    }
  }
  if (!compiler) return;
  const auto dot = last_file.rfind('.');
  state.variables.SetVariable(var::kHoltekIDEPath, last_file.substr(0, dot) + ".exe");
}

int LookUpMplabIndex(InstallerState& state, Registry& registry, ProductRegistration& product) {
  InstallerVariables& vars = state.variables;
  int& index = state.mplab_plugin_index;
  if (IsMplabPlugin(vars)) return index = -1;
  if (index != -1) return index;
  std::uint32_t value = 0;
  if (registry.RegistryReadDword(kHKLM, product.PatchLevelKey(), reg::kMplabIndex, value) == kErrorSuccess) {
    return index = static_cast<int>(value);
  }
  // An earlier patch level installed into the same folder hands its index on.
  const std::string& versions = product.ProductKey();
  const std::string folder = vars.ValueOf(var::kInstDir);
  for (const std::string& level : registry.RegistryListSubkeys(kHKLM, versions).names) {
    const std::string key = versions + "\\" + level;
    const RegistryValue installed = registry.RegistryReadString(kHKLM, key, reg::kInstDir);
    if (!installed.ok() || installed.text != folder) continue;
    if (registry.RegistryReadDword(kHKLM, key, reg::kMplabIndex, value) == kErrorSuccess) {
      index = static_cast<int>(value);
      static_cast<void>(registry.RegistryDeleteValue(kHKLM, key, reg::kMplabIndex));  // taken over either way
    }
  }
  return index;
}

}  // namespace inst
