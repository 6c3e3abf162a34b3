#include "win/vendor_tools.h"

#include <ole2.h>

#include "core/install/registry_names.h"
#include "core/support/variable_names.h"
#include "win/handles.h"
#include "win/system_libraries.h"
#include "win/win_messages.h"

namespace inst::win {

void WinToolIntegrations::ConfigureHoltekIDE() {
  inst::ConfigureHoltekIDE(
      state_, services_.registry,
      [](const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
        ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
      });
}

void WinToolIntegrations::RegisterFasmTools() {
  inst::RegisterFasmTools(state_, services_.registry, services_.messages, product_);
}

void WinToolIntegrations::RegisterMplabPlugin() {
  InstallerVariables& vars = state_.variables;
  const std::string key = MplabPluginKey(vars);
  const bool is_plugin_itself = IsMplabPlugin(vars);
  const std::string* version = is_plugin_itself ? vars.GetVariable(var::kVersion) : vars.GetVariable("MPLABPluginVer");
  const std::string dll = InstallationPath(vars, "bin\\ORVALD.dll");

  // The welcome page has compared versions already when the plug-in installs itself
  // with the version check on.
  if (version && !(is_plugin_itself && vars.TestFlag(var::kCheckInstalledVersions))) {
    Registry& registry = services_.registry;
    const std::optional<std::string> current = MplabPluginCurrentVersion(vars, registry, services_.files);
    // A plain text comparison, as the registered versions have always been compared.
    if (current && *current > *version && dll != MplabPluginCurrentPath(vars, registry, services_.files)) return;
  }

  const OleScope ole;
  if (!ole.active()) services_.messages.ShowError(msg::kPluginTitle, msg::kPluginNoOle);

  // The DLLs the plug-in needs are found beside it, in the product's bin folder.
  Library plugin(LoadProductLibrary(dll));
  if (!plugin) {
    services_.messages.ShowError(msg::kPluginTitle, msg::kPluginNotLoaded, dll.c_str());
    return;
  }
  using DllRegisterServerFn = HRESULT(STDAPICALLTYPE*)();
  auto register_server = LoadProc<DllRegisterServerFn>(plugin.get(), "DllRegisterServer");
  if (register_server == nullptr) {
    services_.messages.ShowError(msg::kPluginTitle, msg::kPluginNoEntryPoint);
    return;
  }
  const HRESULT result = register_server();
  if (result != 0) {
    services_.messages.ShowError(msg::kPluginTitle, msg::kPluginRegistrationFailed, static_cast<unsigned long>(result));
  }
  // Lost, the record only makes the next installation register the plug-in again.
  if (version) {
    static_cast<void>(services_.registry.RegistryWriteString(kHKLM, key, reg::kPluginVersion, *version));
    static_cast<void>(services_.registry.RegistryWriteString(kHKLM, key, reg::kPluginPath, dll));
  }
}

}  // namespace inst::win
