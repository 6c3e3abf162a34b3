#include "core/install/product_registration.h"

#include "core/install/install_messages.h"
#include "core/install/registry_names.h"
#include "core/manifest/entry_grammars.h"
#include "core/support/limits.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

namespace {

constexpr std::size_t kMaxKeyLength = 1023;
constexpr const char* kUninstallRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

}  // namespace

std::string PatchLevelOf(const InstallerVariables& variables) {
  const std::string patch = variables.ValueOf(var::kPatchLevel);
  return patch.empty() ? "PL0" : patch;
}

std::string ProductRegistration::ProductKey() const {
  return ExpandProductPath(state_.variables, "SOFTWARE\\", "\\[Version]");
}

std::string ProductRegistration::PatchLevelKey() const {
  std::string key = ProductKey() + "\\" + PatchLevelOf(state_.variables);
  if (key.size() > kMaxKeyLength) key.resize(kMaxKeyLength);
  return key;
}

std::string ProductRegistration::UninstallKey() const {
  return state_.variables.ExpandVariables(std::string(kUninstallRoot) + "[Product] [Version]") +
         PatchLevelOf(state_.variables);
}

void ProductRegistration::WriteAppPaths() {
  const std::string* name = state_.variables.GetVariable("Appname");
  if (name == nullptr) return;
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + *name;
  // Only the product's own keys are vital; the rest, as here, is written as far as it goes.
  // The shell reads App Paths in its own view, the 64-bit one on 64-bit Windows.
  static_cast<void>(registry_.RegistryWriteString(kHKLM64, key, "Path", InstallationPath(state_.variables, "bin")));
  static_cast<void>(
      registry_.RegistryWriteString(kHKLM64, key, "", InstallationPath(state_.variables, "bin\\" + *name)));
}

void ProductRegistration::WriteProductValues() {
  const std::string& key = PatchLevelKey();
  if (const std::uint32_t error =
          registry_.RegistryWriteString(kHKLM, key, reg::kInstDir, state_.variables.ValueOf(var::kInstDir))) {
    messages_.FatalError(msg::kRegistryWriteFailure, static_cast<int>(error));
  }
  if (const std::string* build = state_.variables.GetVariable(var::kBuildNo)) {
    if (const std::uint32_t error = registry_.RegistryWriteDword(kHKLM, key, "BuildNo", LeadingNumber(*build))) {
      messages_.FatalError(msg::kRegistryWriteFailure, static_cast<int>(error));
    }
  }
  WriteAppPaths();
}

void ProductRegistration::ApplyRegistryEntries() {
  for (const RegistryRecord& entry : state_.lists.registry_list) {
    // Written as far as it goes, like the uninstall entry.
    if (entry.kind == kRegistryNumber)
      static_cast<void>(registry_.RegistryWriteDword(entry.root, entry.key_path, entry.value_name, entry.number));
    else
      static_cast<void>(registry_.RegistryWriteString(entry.root, entry.key_path, entry.value_name, entry.text));
  }
}

void ProductRegistration::WriteUninstallEntry() {
  InstallerVariables& vars = state_.variables;
  const std::string& key = UninstallKey();
  // The entry is written as far as it goes: a value that fails leaves the rest, and
  // the installation, in place.
  auto write = [&](const char* name, const std::string& text) {
    static_cast<void>(registry_.RegistryWriteString(kHKLM, key, name, text));
  };
  auto write_number = [&](const char* name, std::uint32_t number) {
    static_cast<void>(registry_.RegistryWriteDword(kHKLM, key, name, number));
  };
  auto write_if_set = [&](const char* name, const char* variable) {
    if (const std::string* value = vars.GetVariable(variable)) write(name, *value);
  };
  write_if_set("DisplayIcon", "ICON");
  write("DisplayName", vars.ExpandVariables("[Description] V[Version][PatchLEvel]"));
  write("DisplayVersion", vars.ValueOf(var::kVersion));
  write_if_set("HelpLink", "SupportURL");
  write_number("NoRepair", 1);
  write("Publisher", kPublisher);
  const std::string setup = vars.ValueOf(var::kSetup);
  write("UninstallString", FormatText("\"%s\" --remove", setup.c_str()));
  // The bare folder, as the programs list and our own installed-version probe read it.
  write("InstallLocation", vars.ValueOf(var::kInstDir));
  write_if_set("HelpTelephone", "PhoneNo");
  write_if_set("URLUpdateInfo", "UpdateURL");
  write_if_set("Readme", "README");
  write("InstallDate", today_());
  const std::string version = vars.ValueOf(var::kVersion);
  write_number("VersionMajor", LeadingNumber(version));
  const auto dot = version.rfind('.');
  if (dot != std::string::npos) write_number("VersionMinor", LeadingNumber(version.substr(dot + 1)));
  // For deployment tools: the removal without a window, and the kilobytes installed.
  write("QuietUninstallString", FormatText("\"%s\" --remove-silently", setup.c_str()));
  std::uint64_t bytes = 0;
  for (const std::string& file : state_.lists.installed_files) bytes += files_.FileSize(file);
  write_number("EstimatedSize", static_cast<std::uint32_t>((bytes + 1023) / 1024));
}

void ProductRegistration::AddTessaraShortcut() {
  const std::string* value = state_.variables.GetVariable("TESSARAShortCut");
  if (value == nullptr) return;
  std::string version = *value;
  std::string patch = "0";
  const auto l = value->find('L');
  if (l != std::string::npos) {
    version = value->substr(0, l);
    patch = value->substr(l + 1);
  }
  const std::string key = FormatText("Software\\%s\\TESSARA\\%s\\PL%s", kPublisher, version.c_str(), patch.c_str());
  tessara_path_.clear();
  const RegistryValue folder = registry_.RegistryReadString(kHKLM, key, reg::kInstDir);
  if (!folder.ok()) return;
  tessara_path_ = JoinPath(folder.text, "bin\\tessara.exe");
  AddShortcut(state_.lists, kTessaraShortcutName, tessara_path_);
}

void ProductRegistration::RegisterProduct(ToolIntegrations& integrations) {
  ApplyRegistryEntries();
  if (state_.variables.TestFlag("EditHoltekIDE")) integrations.ConfigureHoltekIDE();
  if (state_.variables.TestFlag("SetupFASM")) integrations.RegisterFasmTools();
  if (state_.variables.TestFlag(var::kInstallMPLABPlugin)) {
    if (state_.mplab_plugin_index != -1) {
      // Lost, the index is only asked for again at the next installation.
      static_cast<void>(registry_.RegistryWriteDword(kHKLM, PatchLevelKey(), reg::kMplabIndex,
                                                     static_cast<std::uint32_t>(state_.mplab_plugin_index)));
    }
    integrations.RegisterMplabPlugin();
  }
  AddTessaraShortcut();
}

std::optional<std::string> ProductRegistration::InstalledElsewhere(const std::string& folder) {
  const RegistryValue other = registry_.RegistryReadString(kHKLM, UninstallKey(), "InstallLocation");
  if (!other.ok() || other.text.empty()) return std::nullopt;
  const std::string there = NormalizeFolder(other.text);
  if (EqualsIgnoreCase(there, NormalizeFolder(folder)) || !files_.IsDirectory(there)) return std::nullopt;
  return there;
}

bool ProductRegistration::UnregisterProduct() {
  bool ok = registry_.RegistryDeleteTree(kHKLM, PatchLevelKey()) == 0;
  const SubkeyList remaining = registry_.RegistryListSubkeys(kHKLM, ProductKey());
  if (remaining.error != 0) {
    ok = false;
  } else if (remaining.names.empty()) {
    ok = registry_.RegistryDeleteTree(kHKLM, ProductKey()) == 0 && ok;
  }
  ok = registry_.RegistryDeleteTree(kHKLM, UninstallKey()) == 0 && ok;
  return ok;
}

}  // namespace inst
