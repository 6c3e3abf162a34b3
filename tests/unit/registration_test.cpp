#include <gtest/gtest.h>

#include <tuple>

#include "core/install/install_defaults.h"
#include "core/install/product_registration.h"
#include "core/install/vendor_tools.h"
#include "core/wizard/install_folder.h"
#include "fake_host.h"
#include "memory_file_system.h"
#include "memory_registry.h"

namespace inst {
namespace {

using testing::FakeHost;
using testing::MemoryFileSystem;
using testing::MemoryRegistry;
using testing::ProcessEnded;

constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct CountingIntegrations final : ToolIntegrations {
  void ConfigureHoltekIDE() override { calls.push_back("holtek"); }
  void RegisterFasmTools() override { calls.push_back("fasm"); }
  void RegisterMplabPlugin() override { calls.push_back("mplab"); }
  std::vector<std::string> calls;
};

class RegistrationTest : public ::testing::Test, public testing::RunFixture {
 protected:
  RegistrationTest() : product(state, registry, files, messages, [] { return std::string("20261206"); }) {}
  void Set(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (const auto& [name, value] : values) state.variables.SetVariable(name, value);
  }
  std::string String(int root, const std::string& key, const std::string& name) {
    const auto* data = registry.Value(root, key, name);
    return data ? std::get<std::string>(*data) : "(absent)";
  }
  // The product's values and the rest of its registration, as a run writes them.
  void Register() {
    product.WriteProductValues();
    product.RegisterProduct(integrations);
    product.WriteUninstallEntry();
  }
  std::uint32_t Number(const std::string& key, const std::string& name) {
    const auto* data = registry.Value(kHKLM, key, name);
    return data ? std::get<std::uint32_t>(*data) : 0xDEADu;
  }

  MemoryRegistry registry;
  MemoryFileSystem files;
  ProductRegistration product;
  CountingIntegrations integrations;
};

// Whichever key is formed first, a product without a patch level is at PL0 in
// each, and forming one changes no variable.
TEST_F(RegistrationTest, KeysFollowOneRuleInAnyOrderAndThePatchLevelDefaultsToPL0) {
  Set({{"Manufacturer", "Acme"}, {"Product", "Tools"}, {"Version", "2.1"}});
  EXPECT_EQ(product.UninstallKey(), std::string(kUninstall) + "Tools 2.1PL0");
  EXPECT_EQ(product.PatchLevelKey(), "SOFTWARE\\Acme\\Tools\\2.1\\PL0");
  EXPECT_EQ(state.variables.GetVariable("PatchLevel"), nullptr);
  state.variables.SetVariable("PatchLevel", "");
  EXPECT_EQ(product.UninstallKey(), std::string(kUninstall) + "Tools 2.1PL0");
  state.variables.SetVariable("PatchLevel", "PL2");
  EXPECT_EQ(product.PatchLevelKey(), "SOFTWARE\\Acme\\Tools\\2.1\\PL2");

  InstallerState other(testing::NoEnvironment);
  ProductRegistration with_edition(other, registry, files, messages, [] { return std::string(); });
  other.variables.SetVariable("Manufacturer", "Acme");
  other.variables.SetVariable("Product", "Tools");
  other.variables.SetVariable("Edition", "Pro");
  other.variables.SetVariable("Version", "2.1");
  EXPECT_EQ(with_edition.ProductKey(), "SOFTWARE\\Acme\\Tools\\Pro\\2.1");
}

TEST_F(RegistrationTest, RegisterProductWritesTheUninstallEntry) {
  Set({{"Manufacturer", "Acme"},
       {"Product", "Tools"},
       {"Description", "Tools for chips"},
       {"Version", "10.4.7"},
       {"PatchLevel", "PL3"},
       {"InstDir", "C:\\Acme\\Tools"},
       {"BuildNo", "  1042 beta"},
       {"SETUP", "C:\\Acme\\Tools\\resources\\setup.exe"},
       {"ICON", "C:\\Acme\\Tools\\resources\\setup.ico"},
       {"SupportURL", "http://s/"},
       {"Appname", "tcc.exe"}});
  state.lists.registry_list.push_back({kHKCU, "Software\\Acme", "Trace", kRegistryNumber, 1, ""});
  state.lists.registry_list.push_back({static_cast<RegistryRoot>(99), "Acme.Doc", "", kRegistryString, 0, "doc"});
  files.files = {{"C:\\Acme\\Tools\\a.exe", std::string(1000, 'a')},
                 {"C:\\Acme\\Tools\\b.dat", std::string(1100, 'b')}};
  state.lists.installed_files = {"C:\\Acme\\Tools\\a.exe", "C:\\Acme\\Tools\\b.dat"};
  Register();

  const std::string patch = "SOFTWARE\\Acme\\Tools\\10.4.7\\PL3";
  EXPECT_EQ(String(kHKLM, patch, "InstDir"), "C:\\Acme\\Tools");
  EXPECT_EQ(Number(patch, "BuildNo"), 1042u);
  const std::string app = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tcc.exe";
  EXPECT_EQ(String(kHKLM64, app, "Path"), "C:\\Acme\\Tools\\bin");  // where the shell reads it
  EXPECT_EQ(String(kHKLM64, app, ""), "C:\\Acme\\Tools\\bin\\tcc.exe");
  EXPECT_FALSE(registry.Value(kHKLM, app, "Path"));
  EXPECT_EQ(std::get<std::uint32_t>(*registry.Value(kHKCU, "Software\\Acme", "Trace")), 1u);
  EXPECT_EQ(String(kHKCR, "Acme.Doc", ""), "doc");  // an unknown root goes under HKEY_CLASSES_ROOT

  const std::string entry = std::string(kUninstall) + "Tools 10.4.7PL3";
  EXPECT_EQ(String(kHKLM, entry, "DisplayName"), "Tools for chips V10.4.7PL3");
  EXPECT_EQ(String(kHKLM, entry, "DisplayVersion"), "10.4.7");
  EXPECT_EQ(String(kHKLM, entry, "DisplayIcon"), "C:\\Acme\\Tools\\resources\\setup.ico");
  EXPECT_EQ(String(kHKLM, entry, "HelpLink"), "http://s/");
  EXPECT_EQ(Number(entry, "NoRepair"), 1u);
  EXPECT_EQ(String(kHKLM, entry, "Publisher"), "VORANTH Software");
  EXPECT_EQ(String(kHKLM, entry, "UninstallString"), "\"C:\\Acme\\Tools\\resources\\setup.exe\" --remove");
  EXPECT_EQ(String(kHKLM, entry, "QuietUninstallString"),
            "\"C:\\Acme\\Tools\\resources\\setup.exe\" --remove-silently");
  EXPECT_EQ(String(kHKLM, entry, "InstallLocation"), "C:\\Acme\\Tools");
  EXPECT_EQ(Number(entry, "EstimatedSize"), 3u);  // 2,100 bytes, rounded up
  EXPECT_EQ(String(kHKLM, entry, "InstallDate"), "20261206");
  EXPECT_EQ(Number(entry, "VersionMajor"), 10u);
  EXPECT_EQ(Number(entry, "VersionMinor"), 7u);
  for (const char* absent : {"HelpTelephone", "URLUpdateInfo", "Readme"})
    EXPECT_EQ(String(kHKLM, entry, absent), "(absent)");
  EXPECT_TRUE(integrations.calls.empty());
}

TEST_F(RegistrationTest, VersionWithoutDotAndBuildNumberText) {
  Set({{"Product", "T"}, {"Version", "3"}, {"BuildNo", "Build 7"}});
  Register();
  const std::string entry = std::string(kUninstall) + "T 3PL0";
  EXPECT_EQ(Number(entry, "VersionMajor"), 3u);
  EXPECT_EQ(registry.Value(kHKLM, entry, "VersionMinor"), nullptr);
  EXPECT_EQ(Number(product.PatchLevelKey(), "BuildNo"), 0u);
}

TEST_F(RegistrationTest, AFailedProductWriteIsFatal) {
  Set({{"Manufacturer", "Acme"}, {"Product", "Tools"}, {"Version", "1"}});
  registry.denied.insert(MemoryRegistry::Path(kHKLM, product.PatchLevelKey()));
  EXPECT_THROW(product.WriteProductValues(), ProcessEnded);
  EXPECT_EQ(host.boxes.back().text, "Registry write failure 5");
}

TEST_F(RegistrationTest, IntegrationsRunWhenAskedAndMplabIndexIsRecorded) {
  Set({{"Product", "T"},
       {"Version", "1"},
       {"EditHoltekIDE", "yes"},
       {"SetupFASM", "true"},
       {"InstallMPLABPlugin", "yes"}});
  state.mplab_plugin_index = 3;
  Register();
  EXPECT_EQ(integrations.calls, (std::vector<std::string>{"holtek", "fasm", "mplab"}));
  EXPECT_EQ(Number(product.PatchLevelKey(), "MPIndex"), 3u);
}

TEST_F(RegistrationTest, MplabIndexOfAnEarlierInstallation) {
  Set({{"Manufacturer", "M"}, {"Product", "P"}, {"Version", "2.0"}, {"PatchLevel", "PL2"}, {"InstDir", "C:\\P"}});
  const std::string versions = "SOFTWARE\\M\\P\\2.0";
  registry.RegistryWriteString(kHKLM, versions + "\\PL0", "InstDir", "C:\\P");
  registry.RegistryWriteDword(kHKLM, versions + "\\PL0", "MPIndex", 7);
  registry.RegistryWriteString(kHKLM, versions + "\\PL1", "InstDir", "C:\\Elsewhere");
  registry.RegistryWriteDword(kHKLM, versions + "\\PL1", "MPIndex", 9);
  // Taken over from the level installed in the same folder, and removed there.
  EXPECT_EQ(LookUpMplabIndex(state, registry, product), 7);
  EXPECT_EQ(Number(versions + "\\PL0", "MPIndex"), 0xDEADu);
  EXPECT_EQ(Number(versions + "\\PL1", "MPIndex"), 9u);
  registry.RegistryWriteDword(kHKLM, versions + "\\PL2", "MPIndex", 3);
  EXPECT_EQ(LookUpMplabIndex(state, registry, product), 7);  // found once, then kept

  state.mplab_plugin_index = -1;
  EXPECT_EQ(LookUpMplabIndex(state, registry, product), 3);  // this level's own value comes first
  state.mplab_plugin_index = -1;
  registry.RegistryWriteString(kHKLM, versions + "\\PL2", "MPIndex", "3");
  EXPECT_EQ(LookUpMplabIndex(state, registry, product), -1);  // a text is not a number
  Set({{"Product", "MPLAB Plugin"}});
  state.mplab_plugin_index = 5;
  EXPECT_EQ(LookUpMplabIndex(state, registry, product), -1);  // the plug-in itself has none
}

TEST_F(RegistrationTest, NewestInstalledVersionAndThePluginsOwnRecord) {
  Set({{"Manufacturer", "M"}, {"Product", "P"}, {"Edition", "Pro"}});
  EXPECT_EQ(NewestInstalledVersion(state.variables, registry, files), std::nullopt);  // the key cannot be read
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\M\\P\\Pro\\1.5\\PL0", "InstDir", "C:\\A");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\M\\P\\Pro\\1.40000000001\\PL0", "InstDir", "C:\\B");
  EXPECT_EQ(NewestInstalledVersion(state.variables, registry, files), "1.5");  // as text, nine characters
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\M\\P\\Pro\\9.876543210", "InstDir", "C:\\C");
  EXPECT_EQ(NewestInstalledVersion(state.variables, registry, files), "9.8765432");

  // The plug-in itself: its own record counts, while the file it names exists.
  Set({{"Product", "MPLAB Plugin"}});
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\M\\MPLAB Plugin\\Pro\\1.0", "InstDir", "C:\\D");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\M\\MPLAB Plugin", "currentPath", "C:\\D\\bin\\ORVALD.dll");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\M\\MPLAB Plugin", "currentVer", "3.1");
  EXPECT_EQ(NewestInstalledVersion(state.variables, registry, files), "");
  files.files["C:\\D\\bin\\ORVALD.dll"] = "dll";
  EXPECT_EQ(NewestInstalledVersion(state.variables, registry, files), "3.1");
}

TEST_F(RegistrationTest, TessaraShortcutFromItsInstalledVersion) {
  Set({{"Product", "T"}, {"Version", "1"}, {"TESSARAShortCut", "3.15L2"}});
  registry.RegistryWriteString(kHKLM, "Software\\VORANTH Software\\TESSARA\\3.15\\PL2", "InstDir", "C:\\Tessara");
  Register();
  EXPECT_EQ(product.tessara_path(), "C:\\Tessara\\bin\\tessara.exe");
  ASSERT_TRUE(state.lists.shortcut_list);
  EXPECT_EQ(state.lists.shortcut_list->back().name, "TESSARA Integrated Development Environment");
  EXPECT_EQ(state.lists.shortcut_list->back().target, "C:\\Tessara\\bin\\tessara.exe");

  InstallerState other(testing::NoEnvironment);
  ProductRegistration second(other, registry, files, messages, [] { return std::string(); });
  other.variables.SetVariable("Version", "1");
  other.variables.SetVariable("TESSARAShortCut", "3.15");  // PL0, not installed
  second.RegisterProduct(integrations);
  second.WriteUninstallEntry();
  EXPECT_EQ(second.tessara_path(), "");
  EXPECT_FALSE(other.lists.shortcut_list);
}

// One version, one uninstall entry: a second folder is refused while the first holds it.
TEST_F(RegistrationTest, TheSameVersionInstalledInAnotherFolder) {
  Set({{"Product", "P"}, {"Version", "1.0"}});
  EXPECT_EQ(product.InstalledElsewhere("C:\\B2"), std::nullopt);  // not installed
  registry.RegistryWriteString(kHKLM, product.UninstallKey(), "InstallLocation", "C:\\B1\\");
  EXPECT_EQ(product.InstalledElsewhere("C:\\B2"), std::nullopt);  // its folder is gone
  files.folders = {"C:", "C:\\B1"};
  EXPECT_EQ(product.InstalledElsewhere("C:\\B2"), "C:\\B1");
  EXPECT_EQ(product.InstalledElsewhere("c:\\b1\\"), std::nullopt);  // the same folder: installed again
}

TEST_F(RegistrationTest, UnregisterKeepsTheProductKeyWhileAnotherPatchLevelRemains) {
  Set({{"Manufacturer", "Acme"},
       {"Product", "Tools"},
       {"Version", "2.1"},
       {"PatchLevel", "PL1"},
       {"InstDir", "C:\\T"}});
  Register();
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\Acme\\Tools\\2.1\\PL2", "InstDir", "C:\\T2");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\Acme\\Tools\\2.1\\PL1\\deep\\deeper", "x", "y");
  EXPECT_TRUE(product.UnregisterProduct());
  EXPECT_FALSE(registry.keys.count(MemoryRegistry::Path(kHKLM, "SOFTWARE\\Acme\\Tools\\2.1\\PL1")));
  EXPECT_TRUE(registry.keys.count(MemoryRegistry::Path(kHKLM, "SOFTWARE\\Acme\\Tools\\2.1")));
  EXPECT_FALSE(registry.keys.count(MemoryRegistry::Path(kHKLM, std::string(kUninstall) + "Tools 2.1PL1")));
  // Deepest keys go first.
  EXPECT_EQ(registry.deleted.front(), MemoryRegistry::Path(kHKLM, "SOFTWARE\\Acme\\Tools\\2.1\\PL1\\deep\\deeper"));

  registry.RegistryDeleteTree(kHKLM, "SOFTWARE\\Acme\\Tools\\2.1\\PL2");
  Register();
  EXPECT_TRUE(product.UnregisterProduct());
  EXPECT_FALSE(registry.keys.count(MemoryRegistry::Path(kHKLM, "SOFTWARE\\Acme\\Tools\\2.1")));
  EXPECT_TRUE(registry.keys.count(MemoryRegistry::Path(kHKLM, "SOFTWARE\\Acme\\Tools")));  // left in place
  EXPECT_FALSE(product.UnregisterProduct());                                               // nothing left to delete
}

TEST_F(RegistrationTest, FasmToolsAndHoltekConfiguration) {
  Set({{"Product", "T"}, {"Version", "1"}, {"InstDir", "C:\\V"}});
  RegisterFasmTools(state, registry, messages, product);
  EXPECT_EQ(String(kHKLM, product.PatchLevelKey(), "fasm"), "C:\\V\\CFASMTools\\CFASM.exe");
  EXPECT_EQ(String(kHKLM, product.PatchLevelKey(), "fasmsetup"), "C:\\V\\CFASMTools\\SimConfigSetup.exe");
  registry.denied.insert(MemoryRegistry::Path(kHKLM, product.PatchLevelKey()));
  EXPECT_THROW(RegisterFasmTools(state, registry, messages, product), ProcessEnded);
  EXPECT_EQ(host.boxes.back().text, "Registry write failure 5");

  std::vector<std::string> writes;
  auto write = [&](const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) { writes.push_back(file + "|" + section + "|" + key + "|" + value); };
  ConfigureHoltekIDE(state, registry, write);  // no Holtek key: nothing happens
  EXPECT_TRUE(writes.empty());
  EXPECT_EQ(state.variables.GetVariable("HoltekIDEPath"), nullptr);
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\Holtek Inc.\\HT-IDE3000\\V7", "Dir", "C:\\Holtek7");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\Holtek Inc.\\HT-IDE3000\\V8", "Dir", "C:\\Holtek8");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\Holtek Inc.\\HT-IDE3000\\NoDir", "Other", "x");
  ConfigureHoltekIDE(state, registry, write);
  EXPECT_EQ(writes,
            (std::vector<std::string>{"C:\\Holtek7\\bin\\ht-ide3000.ini|Voranth|COMPILER|\"C:\\V\\bin\\vrkc.exe\"",
                                      "C:\\Holtek8\\bin\\ht-ide3000.ini|Voranth|COMPILER|\"C:\\V\\bin\\vrkc.exe\""}));
  EXPECT_EQ(state.variables.ValueOf("HoltekIDEPath"), "C:\\Holtek8\\bin\\ht-ide3000.exe");
}

class FixedShell final : public ShellFolders {
 public:
  std::optional<std::string> ProgramFilesFolder() override { return program_files; }
  std::string StartMenuProgramsFolder() override { return programs; }
  std::vector<std::string> EveryStartMenuFolder() override { return menus; }
  std::optional<std::string> program_files;
  std::string programs;
  std::vector<std::string> menus;
};

class MapEnvironment final : public Environment {
 public:
  std::optional<std::string> Get(const std::string& name) override {
    auto it = values.find(name);
    return it == values.end() ? std::nullopt : std::optional(it->second);
  }
  std::map<std::string, std::string> values;
};

class DefaultsTest : public RegistrationTest {
 protected:
  void Defaults() { SetInstallDefaults(state, registry, messages, product, shell, environment, files); }
  FixedShell shell;
  MapEnvironment environment;
  MemoryFileSystem files;
};

TEST_F(DefaultsTest, StartMenuFolderFromTheShellTheRegistryOrWindows) {
  Set({{"Manufacturer", "Acme"}, {"Product", "Tools"}, {"Version", "2.1"}, {"Description", "Tools for chips"}});
  shell.programs = "C:\\Users\\me\\Programs";
  shell.program_files = "D:\\Programs";
  Defaults();
  EXPECT_EQ(state.variables.ValueOf("ShortcutFolder"), "C:\\Users\\me\\Programs\\VORANTH Software\\Tools for chips");
  EXPECT_EQ(state.variables.ValueOf("ProgramFiles"), "D:\\Programs");
  EXPECT_EQ(state.variables.ValueOf("InstDir"), "D:\\Programs\\Acme\\Tools\\2.1");
  EXPECT_EQ(state.variables.ValueOf("PatchLevel"), "PL0");  // a default, set before any key is formed

  shell.programs.clear();
  state.variables.SetVariable("ShortcutFolderName", "Acme Tools");
  registry.RegistryWriteString(kHKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                               "Programs", "C:\\Reg\\Programs");
  Defaults();
  EXPECT_EQ(state.variables.ValueOf("ShortcutFolder"), "C:\\Reg\\Programs\\VORANTH Software\\Acme Tools");

  registry.keys.clear();
  environment.values["windir"] = "E:\\WIN";
  files.folders = {"E:\\WIN\\Start Menu\\Programs"};
  Defaults();
  EXPECT_EQ(state.variables.ValueOf("ShortcutFolder"), "E:\\WIN\\Start Menu\\Programs\\VORANTH Software\\Acme Tools");
  files.folders.clear();
  EXPECT_THROW(Defaults(), ProcessEnded);
  EXPECT_EQ(host.boxes.back().text, "Unable to determine location of start menu");

  // Removed or repaired by another account: the folder the installation recorded,
  // when it lies below a Start menu of the machine; else this account's own.
  state.running_installed_copy = true;
  shell.menus = {"C:\\ProgramData\\Programs", "C:\\Users\\installer\\Programs"};
  shell.programs = "C:\\Users\\me\\Programs";
  for (const auto& [recorded, kept] : std::vector<std::pair<std::string, std::string>>{
           {"C:\\Users\\installer\\Programs\\V\\Tools", "C:\\Users\\installer\\Programs\\V\\Tools"},
           {"C:\\Users\\installer\\Programs\\..\\..\\..\\Windows",
            "C:\\Users\\me\\Programs\\VORANTH Software\\Acme Tools"},
           {"C:\\ProgramData\\Programs", "C:\\Users\\me\\Programs\\VORANTH Software\\Acme Tools"},
           {"C:\\", "C:\\Users\\me\\Programs\\VORANTH Software\\Acme Tools"}}) {
    state.variables.SetVariable("ShortcutFolder", recorded);
    Defaults();
    EXPECT_EQ(state.variables.ValueOf("ShortcutFolder"), kept) << recorded;
  }
}

TEST_F(DefaultsTest, AProductFolderThatLeadsElsewhereIsRefused) {
  shell.programs = "C:\\Programs";
  for (const auto& [name, value, message] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"ShortcutFolderName", "..\\..\\Startup", "Start-menu folder \"..\\..\\Startup\""},
           {"Description", "C:\\Windows", "Start-menu folder \"C:\\Windows\""},
           {"Version", "..\\..", "installation folder \"Acme\\Tools\\..\\..\""},
           {"Product", ". .", "installation folder \"Acme\\. .\\2.1\""}}) {
    Set({{"Manufacturer", "Acme"}, {"Product", "Tools"}, {"Version", "2.1"}, {"Description", "Tools"}});
    state.variables.DeleteVariable("ShortcutFolderName");
    state.variables.SetVariable(name, value);
    EXPECT_THROW(Defaults(), ProcessEnded);
    EXPECT_EQ(host.boxes.back().text, "Invalid manifest format: the " + message + " leads outside its folder");
  }
}

TEST_F(DefaultsTest, ProposedInstallationFolder) {
  shell.programs = "C:\\Programs";
  Set({{"Manufacturer", "Acme"}, {"Product", "Tools"}, {"Version", "2.1"}, {"Edition", "Pro"}, {"InstDir", "C:\\Cmd"}});
  registry.RegistryWriteString(kHKLM, product.PatchLevelKey(), "InstDir", "D:\\Old");
  Defaults();  // interactive: the earlier folder wins over the command line
  EXPECT_EQ(state.variables.ValueOf("InstDir"), "D:\\Old");

  state.variables.SetVariable("InstDir", "C:\\Copy");
  state.running_installed_copy = true;
  Defaults();  // an installed copy works on its own installation, wherever the registry points
  EXPECT_EQ(state.variables.ValueOf("InstDir"), "C:\\Copy");
  state.running_installed_copy = false;

  state.variables.SetVariable("InstDir", "C:\\Cmd");
  state.variables.SetFlag("HeadlessInstall", true);
  Defaults();  // headless with a folder: kept
  EXPECT_EQ(state.variables.ValueOf("InstDir"), "C:\\Cmd");

  state.variables.SetVariable("InstDir", "DEFAULT");
  Defaults();  // headless with "default": the registry's folder
  EXPECT_EQ(state.variables.ValueOf("InstDir"), "D:\\Old");

  registry.keys.clear();
  state.variables.SetVariable("InstDir", "Default");
  Defaults();  // nothing earlier: the computed default, with the edition
  EXPECT_EQ(state.variables.ValueOf("InstDir"), "C:\\Program Files\\Acme\\Tools\\Pro\\2.1");

  state.variables.DeleteVariable("InstDir");
  Defaults();  // headless without a folder stays without one
  EXPECT_EQ(state.variables.GetVariable("InstDir"), nullptr);
}

}  // namespace
}  // namespace inst
