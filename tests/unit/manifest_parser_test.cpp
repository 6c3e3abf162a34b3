#include "core/manifest/manifest_parser.h"
#include "core/support/path_rules.h"

#include <gtest/gtest.h>

#include "core/wizard/component_facts.h"
#include "core/wizard/install_folder.h"
#include "core/manifest/entry_grammars.h"
#include "fake_host.h"

namespace inst {
namespace {

using testing::FakeHost;
using testing::ProcessEnded;

struct RecordingHooks final : ManifestHooks {
  void OnResource(const std::string& key, const std::string&, const std::string& path,
                  std::optional<std::uint32_t> size, int line) override {
    resources.push_back(key + "|" + path + "|" + (size ? std::to_string(*size) : "none") + "|" + std::to_string(line));
  }
  std::string ExpandEnvironment(const std::string& value) override {
    std::string out = value;
    const auto at = out.find("%SystemRoot%");
    if (at != std::string::npos) out.replace(at, 12, "C:\\windows");
    return out;
  }
  void OnVariablesEnd() override { ++variables_ends; }
  std::vector<std::string> resources;
  int variables_ends = 0;
};

class ParserTest : public ::testing::Test, public testing::RunFixture {
 protected:
  ParserTest() { state.variables.SetVariable("TmpDir", "C:\\T\\vr1"); }
  void Parse(const std::string& text, ManifestParserOptions options = {}) {
    ManifestParser(text, state, messages, hooks, options).ParseManifest();
  }
  // The fatal message a manifest ends with.
  std::string FatalOf(const std::string& text) {
    try {
      Parse(text);
    } catch (const ProcessEnded& end) {
      EXPECT_EQ(end.exit_code, 1);
      EXPECT_EQ(host.boxes.back().title, "Fatal error");
      return host.boxes.back().text;
    }
    return "(no fatal error)";
  }
  const FeatureRecord& Feature(std::size_t i) { return *state.lists.feature_list->at(i); }

  RecordingHooks hooks;
};

TEST_F(ParserTest, LinesCommentsAndInstDir) {
  state.variables.SetVariable("InstDir", "C:\\P");
  ManifestParser parser("\r\n  ; comment\r\n\t \r\n  Target=%instdir%\\bin  \r\n\r\n[Run]\n", state, messages, hooks);
  EXPECT_EQ(parser.ReadManifestLine(), "Target=C:\\P\\bin");
  EXPECT_EQ(parser.line_number(), 4);
  parser.PushBackLine("again");
  EXPECT_EQ(parser.ReadManifestLine(), "again");
  EXPECT_EQ(parser.ReadManifestLine(), "[Run]");
  EXPECT_EQ(parser.line_number(), 6);
  EXPECT_EQ(parser.ReadManifestLine(), std::nullopt);
}

TEST_F(ParserTest, ExpandInstDirAndMatchPrefix) {
  EXPECT_EQ(ExpandInstDir("%InstDir%\\x", state.variables), "%InstDir%\\x");  // unset: unchanged
  state.variables.SetVariable("InstDir", "D:\\Tools");
  EXPECT_EQ(ExpandInstDir("a%INSTDIR%b%instdir%", state.variables), "aD:\\ToolsbD:\\Tools");
  EXPECT_EQ(ExpandInstDir("%InstDir", state.variables), "%InstDir");
  state.variables.SetVariable("InstDir", std::string(5000, 'x'));
  EXPECT_EQ(ExpandInstDir("%InstDir%%InstDir%", state.variables).size(), 8191u);
  EXPECT_EQ(MatchPrefix("FEATURE=abc", "Feature="), "abc");
  EXPECT_EQ(MatchPrefix("Feat", "Feature="), std::nullopt);
}

TEST_F(ParserTest, SectionDispatch) {
  EXPECT_EQ(FatalOf(""), "Invalid manifest format");
  EXPECT_EQ(FatalOf("Name=x\n[Run]"), "Invalid manifest format");
  EXPECT_EQ(FatalOf("[Variables]\nA=b\n"), "Invalid manifest format");  // no [Run]
  EXPECT_EQ(FatalOf("[Setup]\n[Run]"), "Unknown line in manifest: Setup");
  Parse("[variables]\nA=1\n[RUN]\nthis is never read\n[Bogus]");
  EXPECT_EQ(state.variables.ValueOf("A"), "1");
}

TEST_F(ParserTest, Variables) {
  Parse("[Variables]\nA=x =y\nB=\nSys=%SystemRoot%\\system32\nVersion=9.63\nPatchLevel=PL3\n[Variables]\nC=2\n[Run]");
  EXPECT_EQ(state.variables.ValueOf("A"), "x");
  ASSERT_NE(state.variables.GetVariable("B"), nullptr);
  EXPECT_EQ(state.variables.ValueOf("B"), "");
  EXPECT_EQ(state.variables.ValueOf("Sys"), "C:\\windows\\system32");
  EXPECT_EQ(state.variables.ValueOf("FullVersion"), "9.63PL3");
  EXPECT_EQ(state.lists.variable_names, (std::vector<std::string>{"A", "B", "Sys", "Version", "PatchLevel", "C"}));
  EXPECT_EQ(hooks.variables_ends, 2);
  EXPECT_EQ(FatalOf("[Variables]\n=value\n[Run]"), "Bad line in [Variables]");
}

TEST_F(ParserTest, ResourcesAreExtractedAndListedForDeletion) {
  state.lists.installed_files.push_back("C:\\T\\vr1\\earlier");
  Parse("[Resources]\nICON=setup.ico\t766\nLICENCE=licence.txt\t0\n[Run]");
  EXPECT_EQ(hooks.resources,
            (std::vector<std::string>{"ICON|C:\\T\\vr1\\setup.ico|766|2", "LICENCE|C:\\T\\vr1\\licence.txt|0|3"}));
  ASSERT_EQ(state.lists.resource_list.size(), 2u);
  EXPECT_EQ(state.lists.resource_list[0].name, "setup.ico");
  EXPECT_EQ(state.lists.resource_list[0].key, "ICON");
  EXPECT_EQ(state.lists.resource_list[0].size, 766u);
  EXPECT_EQ(state.variables.ValueOf("LICENCE"), "C:\\T\\vr1\\licence.txt");
  EXPECT_EQ(state.temp_list, (std::vector<std::string>{"C:\\T\\vr1\\setup.ico", "C:\\T\\vr1\\licence.txt"}));
  EXPECT_TRUE(state.lists.installed_files.empty());
}

TEST_F(ParserTest, BadResourceLines) {
  EXPECT_EQ(FatalOf("[Resources]\nICON\n[Run]"), "Bad line in [Resources]");
  EXPECT_EQ(FatalOf("[Resources]\nICON=setup.ico\n[Run]"), "Bad line in [Resources]");  // no size
  EXPECT_EQ(FatalOf("[Resources]\n=\n[Run]"), "Bad line in [Resources]");
  ManifestParserOptions builder;
  builder.require_resource_sizes = false;
  Parse("[Resources]\nICON=setup.ico\n[Run]", builder);
  EXPECT_EQ(hooks.resources.back(), "ICON|C:\\T\\vr1\\setup.ico|none|2");
}

TEST_F(ParserTest, FeaturesFoldersFilesAndInstallers) {
  Parse(
      "[Features]\n"
      "Feature=Main\n"
      "; a comment between the feature and its folders\n"
      "DriverInf=drv\\x.inf\nDriverDevice=USB\\VID_1\nHKCR=Main.Doc\nRegkey=SOFTWARE\\X=Y\n"
      "Minversion=1.2\nMaxversion=3.0\nRequires=Other\nRequires=Nobody\n"
      "Errmess=" +
      std::string(59, 'a') +
      " b c\n"
      "bin/\nm.exe\t1234\nreadme\n"
      "bin\\\n"
      "include//\nx.h\t7\n"
      "/\nroot.txt\t1\n"
      "Feature=Other\n"
      "orphan.txt\t5\n"
      "Installer=http://x/y.exe\t9000\nSHA256=AB\nAlternate=[JAVA]\nalternate=C:\\y.exe\nsha256=cd\nArguments=/S\nlib/"
      "\n"
      "Feature=OTHER\n"
      "[Run]");
  ASSERT_EQ(state.lists.feature_list->size(), 3u);
  const FeatureRecord& main = Feature(0);
  EXPECT_EQ(main.description, "Main");
  EXPECT_EQ(main.driver_inf, "drv\\x.inf");
  EXPECT_EQ(main.driver_device, "USB\\VID_1");
  EXPECT_EQ(main.class_key, "Main.Doc");
  EXPECT_EQ(main.registry_key, "SOFTWARE\\X=Y");
  EXPECT_EQ(main.min_version, "1.2");
  EXPECT_EQ(main.max_version, "3.0");
  EXPECT_EQ(main.error_message, std::string(59, 'a') + " b\nc");
  ASSERT_EQ(main.folders.size(), 4u);
  EXPECT_EQ(main.folders[0].path, "bin");
  ASSERT_EQ(main.folders[0].files.size(), 2u);
  EXPECT_EQ(main.folders[0].files[0].size, 1234u);
  EXPECT_TRUE(main.folders[0].files[0].size_given);
  EXPECT_EQ(main.folders[0].files[1].size, 8192u);
  EXPECT_FALSE(main.folders[0].files[1].size_given);
  EXPECT_EQ(main.folders[1].path, "bin");
  EXPECT_EQ(main.folders[2].path, "include");
  EXPECT_EQ(main.folders[3].path, "");
  // A file line right after Feature= joins the last folder, in the earlier feature.
  ASSERT_EQ(main.folders[3].files.size(), 2u);
  EXPECT_EQ(main.folders[3].files[1].name, "orphan.txt");
  // Requires: every feature of the name (Other and OTHER), unknown names dropped.
  ASSERT_EQ(main.requires_features.size(), 2u);
  EXPECT_EQ(main.requires_features[0]->name, "Other");
  EXPECT_EQ(main.requires_features[1]->name, "OTHER");

  const FeatureRecord& other = Feature(1);
  ASSERT_EQ(other.installers.size(), 1u);
  EXPECT_EQ(other.installers[0].source, "http://x/y.exe");
  EXPECT_EQ(other.installers[0].alternates, (std::vector<std::string>{"[JAVA]", "C:\\y.exe"}));
  EXPECT_EQ(other.installers[0].arguments, "/S");
  // A digest belongs to the source line before it.
  EXPECT_EQ(*other.installers[0].Sha256Of("http://x/y.exe"), "AB");
  EXPECT_EQ(*other.installers[0].Sha256Of("C:\\y.exe"), "cd");
  EXPECT_EQ(other.installers[0].Sha256Of("[JAVA]"), nullptr);
  EXPECT_EQ(other.installer_size, 9000u);
  ASSERT_EQ(other.folders.size(), 1u);  // the line after the installer entry is parsed normally
  EXPECT_EQ(other.folders[0].path, "lib");
}

TEST_F(ParserTest, FeatureLineErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"DriverInf=x", "missing feature name before DriverInf"},
      {"DriverDevice=x", "missing feature name before DriverDevice"},
      {"HKCR=x", "missing feature name before HKCR"},
      {"Regkey=x", "missing feature name before Regkey"},
      {"Description=x", "Description with no feature name"},
      {"Errmess=x", "missing feature name before Errmess"},
      {"Requires=x", "missing feature name before Requires"},
      {"Minversion=1", "missing feature name before Minversion"},
      {"Maxversion=1", "missing feature name before Maxversion"},
      {"Installer=x", "missing feature name before Installer"},
      {"bin/", "missing feature name before folder"},
      {"file.txt", "file in list without preceding folder"},
  };
  for (const auto& [line, message] : cases) {
    host.boxes.clear();
    EXPECT_EQ(FatalOf(std::string("[Features]\n") + line + "\n[Run]"), message) << line;
  }
  EXPECT_EQ(FatalOf("[Features]\nFeature=A\nfile.txt\n[Run]"), "file in list without preceding folder");
}

// Every name the installer would write is held to the one rule, payload and installed
// manifest alike, before anything is written.
TEST_F(ParserTest, NamesTheInstallerWouldWriteKeepTheRule) {
  const std::string features = "[Features]\nFeature=A\n";
  const std::pair<std::string, std::string> cases[] = {
      {features + "../../Evil1/", "3: the name \"..\\..\\Evil1\" leads outside its folder"},
      {features + "..\\..\\Evil2/", "3: the name \"..\\..\\Evil2\" leads outside its folder"},
      {features + "bin/\n..\\..\\evil3.txt", "4: the name \"..\\..\\evil3.txt\" leads outside its folder"},
      {features + "bin/\nNUL.txt\t4", "4: the name \"NUL.txt\" is a device name Windows reserves"},
      {"[Resources]\nX=..\\..\\evil17.txt\t1", "2: the name \"..\\..\\evil17.txt\" leads outside its folder"},
      {"[Shortcuts]\n..\\..\\Startup\\x=bin\\a.exe", "2: the name \"..\\..\\Startup\\x\" leads outside its folder"},
  };
  for (const auto& [text, message] : cases)
    EXPECT_EQ(FatalOf(text + "\n[Run]"), "Invalid manifest format: line " + message) << text;
  EXPECT_TRUE(hooks.resources.empty());
  // The installation folder itself, and folders below it, stay as they were.
  Parse(features + "/\nreadme.txt\ninclude/peripheral/\nports.h\n[Run]");
}

// The rule itself: what a manifest may name, and what it may not.
TEST(NameRule, RefusesWhatLeavesItsFolderOrWindowsRefuses) {
  const std::pair<const char*, const char*> cases[] = {
      {"bin", nullptr},
      {"include\\peripheral/ports.h", nullptr},
      {"R\xE9sum\xE9 des donn\xE9"
       "es.txt",
       nullptr},  // accents of the ANSI code page
      {"lib.v2.0.a", nullptr},
      {"...x", nullptr},
      {"CONSOLE.txt", nullptr},
      {"COM10", nullptr},
      {"..", "leads outside its folder"},
      {"a\\..\\..\\b", "leads outside its folder"},
      {"\\windows", "leads outside its folder"},
      {"/etc", "leads outside its folder"},
      {"C:\\x", "leads outside its folder"},
      {"C:x", "leads outside its folder"},
      {"\\\\server\\share", "leads outside its folder"},
      {". .", "leads outside its folder"},
      {"", "leads outside its folder"},
      {"a\\.\\b", "holds an empty or \".\" component"},
      {"a\\\\b", "holds an empty or \".\" component"},
      {"a:b", "leads outside its folder"},  // drive A:, relative
      {"ab:c", "holds a character Windows forbids in a name"},
      {"a<b", "holds a character Windows forbids in a name"},
      {"what?", "holds a character Windows forbids in a name"},
      {"tab\there", "holds a character Windows forbids in a name"},
      {"name.", "ends with a dot or a space"},
      {"bin \\x", "ends with a dot or a space"},
      {"CON", "is a device name Windows reserves"},
      {"con/x", "is a device name Windows reserves"},
      {"aux.h", "is a device name Windows reserves"},
      {"com1.txt", "is a device name Windows reserves"},
      {"LPT9", "is a device name Windows reserves"},
      {"Nul .txt", "is a device name Windows reserves"},
      {"COM\xB9", "is a device name Windows reserves"},
  };
  for (const auto& [name, reason] : cases) EXPECT_STREQ(NameRefusal(name), reason) << name;
  EXPECT_STREQ(FileNameRefusal("bin\\a.exe"), "names a folder; a folder line ends with \"/\" and its files follow it");
  EXPECT_FALSE(FileNameRefusal("a.exe"));
}

// Paths resolved as the system resolves them, then held against a folder.
TEST(NameRule, PathsAreResolvedBeforeTheyAreHeldAgainstAFolder) {
  const std::pair<const char*, const char*> resolved[] = {
      {"C:\\Inst\\V\\bin\\..\\..\\..\\windows\\victim.ini", "C:\\windows\\victim.ini"},
      {"C:/a//b/./c", "C:\\a\\b\\c"},
      {"C:\\..", nullptr},
      {"C:\\a\\...\\b", nullptr},
      {"\\\\srv\\share\\a\\..\\b", "\\\\srv\\share\\b"},
      {"\\\\?\\C:\\x", nullptr},
      {"\\\\.\\PhysicalDrive0", nullptr},
      {"bin\\a", nullptr},
      {"C:\\", "C:\\"},
  };
  for (const auto& [path, expected] : resolved)
    EXPECT_EQ(ResolvePath(path).value_or("(none)"), expected ? expected : "(none)") << path;
  EXPECT_TRUE(LiesInside("C:\\Inst\\V\\bin\\..\\a.txt", "C:\\inst\\v"));
  EXPECT_TRUE(LiesInside("C:\\Inst\\V", "C:\\Inst\\V\\"));
  EXPECT_FALSE(LiesInside("C:\\Inst\\..\\v1.txt", "C:\\Inst"));
  EXPECT_FALSE(LiesInside("C:\\Inst\\V2\\a", "C:\\Inst\\V"));
  EXPECT_FALSE(LiesInside("C:\\Inst\\V\\bin\\CON", "C:\\Inst\\V"));
  EXPECT_FALSE(LiesInside("C:\\Inst\\V\\a:stream", "C:\\Inst\\V"));
}

TEST_F(ParserTest, Components) {
  state.exclude_list = {"examples"};
  Parse(
      "[Features]\nFeature=Main\nFeature=Extra\nFeature=Ex\n"
      "[Components]\n"
      "Component=Base\nDescription=The base\nRequired=yes\nSelected=no\nMain\nAlternate=Spare\nJava=YES\n"
      "Component=Opt\nSelected=YES please\nextra\n"
      "Component=Off\nSelected=true\nRequired=no\n"
      "Component=Examples\nDescription=never listed\nEx\n"
      "[Run]");
  const auto& components = *state.lists.component_list;
  ASSERT_EQ(components.size(), 3u);
  EXPECT_EQ(components[0]->description, "The base");
  EXPECT_TRUE(components[0]->required);
  EXPECT_FALSE(components[0]->selected);  // Selected=no after Required=yes
  EXPECT_TRUE(components[0]->java);
  EXPECT_EQ(components[0]->alternates, std::vector<std::string>{"Spare"});
  ASSERT_EQ(components[0]->features.size(), 1u);
  EXPECT_EQ(components[0]->features[0], state.lists.feature_list->at(0));
  EXPECT_TRUE(components[1]->selected);
  EXPECT_EQ(components[1]->features[0]->name, "Extra");
  EXPECT_FALSE(components[2]->selected);
  EXPECT_EQ(components[2]->description, std::nullopt);
}

TEST_F(ParserTest, ComponentErrors) {
  EXPECT_EQ(FatalOf("[Components]\nComponent=A\nMain\n[Run]"), "No feature list in manifest");
  const std::string features = "[Features]\nFeature=Main\n[Components]\n";
  EXPECT_EQ(FatalOf(features + "Component=A\nMissing\n[Run]"), "Feature Missing not in manifest");
  const std::pair<const char*, const char*> cases[] = {
      {"Description=x", "Description with no component name"},
      {"Alternate=x", "Alternate with no component name"},
      {"Selected=yes", "Selected with no component name"},
      {"Required=yes", "Required with no component name"},
      {"Java=yes", "Java with no component name"},
      {"Main", "feature in un-named component"},
  };
  for (const auto& [line, message] : cases) EXPECT_EQ(FatalOf(features + line + "\n[Run]"), message) << line;
}

TEST_F(ParserTest, LookupsAndExclusions) {
  EXPECT_EQ(FatalOf("[Run]"), "(no fatal error)");
  testing::ExitCodeOf([&] { FindComponent(state.lists, "A", messages); });
  EXPECT_EQ(host.boxes.back().text, "No component_list in manifest");
  Parse("[Features]\nFeature=Main\n[Components]\nComponent=Base\nMain\n[Run]");
  EXPECT_EQ(FindFeature(state.lists, "MAIN", messages)->name, "Main");
  EXPECT_EQ(FindComponent(state.lists, "base", messages)->name, "Base");
  testing::ExitCodeOf([&] { FindComponent(state.lists, "Nope", messages); });
  EXPECT_EQ(host.boxes.back().text, "Component Nope not in manifest");
  EXPECT_TRUE(IsExcluded({"Examples"}, "EXAMPLES"));
  EXPECT_FALSE(IsExcluded({"Examples"}, "Example"));
}

// "--no-" that cannot be carried out ends the run as a refused option (87), before
// anything is installed: a required component, or a name no component has.
TEST_F(ParserTest, LeavingOutARequiredOrUnknownComponentIsRefused) {
  const std::string text =
      "[Features]\nFeature=Main\n[Components]\nComponent=Base\nRequired=yes\nMain\n"
      "Component=Extras\nMain\n[Run]";
  for (const auto& [excluded, message] : std::vector<std::pair<std::string, std::string>>{
           {"BASE", "--no-Base: the component is required and cannot be left out"},
           {"Extra", "--no-Extra: no such component; the components are Base, Extras"}}) {
    state.exclude_list = {"tessara", excluded};
    EXPECT_EQ(testing::ExitCodeOf([&] { Parse(text); }), 87) << excluded;
    EXPECT_EQ(host.boxes.back().text, message);
  }
  state.exclude_list = {"tessara", "extras"};
  Parse(text);
  EXPECT_EQ(state.lists.component_list->size(), 1u);
}

TEST_F(ParserTest, RegistryShortcutsAndRecordedPaths) {
  state.variables.SetVariable("InstDir", "C:\\P");
  Parse(
      "[Registry]\nHKLM\\SOFTWARE\\A\\B\\Trace Support=0x1\n"
      "[Shortcuts]\nUninstall=resources\\setup.exe>--remove,ICONUN\nRead me=docs\\readme.pdf\n"
      "[Files]\n%InstDir%\\bin\\a.exe\n[Folders]\n%InstDir%\\bin\n[Run]");
  ASSERT_EQ(state.lists.registry_list.size(), 1u);
  EXPECT_EQ(state.lists.registry_list[0].value_name, "Trace Support");
  ASSERT_TRUE(state.lists.shortcut_list);
  EXPECT_EQ(state.lists.shortcut_list->at(0).arguments, "--remove");
  EXPECT_EQ(state.lists.installed_files, std::vector<std::string>{"C:\\P\\bin\\a.exe"});
  EXPECT_EQ(state.lists.installed_folders, std::vector<std::string>{"C:\\P\\bin"});
  EXPECT_EQ(FatalOf("[Shortcuts]\nName\n[Run]"), "Bad line in [Shortcuts]");
  EXPECT_EQ(FatalOf("[Shortcuts]\n=target\n[Run]"), "Bad line in [Shortcuts]");
  EXPECT_EQ(FatalOf("[Shortcuts]\nName=,, \v,icon\n[Run]"), "Bad line in [Shortcuts]");
  EXPECT_EQ(FatalOf("[Registry]\nHKLM\n[Run]"), "Bad registry entry under [Registry]");
}

TEST_F(ParserTest, HostileInputIsHandled) {
  // A very long line, a missing "]", a NUL byte and a truncated last line.
  const std::string long_name(200000, 'n');
  Parse("[Variables]\n" + long_name + "=v\n[Run]");
  EXPECT_EQ(state.variables.ValueOf(long_name), "v");
  EXPECT_EQ(FatalOf("[Variables\nA=1\n[Run"), "(no fatal error)");
  // A zero byte: names and keys would be cut short at it, differently in each place.
  EXPECT_EQ(FatalOf(std::string("[Variables]\nN=a\0b\n[Run]", 22)), "Invalid manifest format");
  EXPECT_EQ(FatalOf("[Variables]\nA=1\n[Ru"), "Unknown line in manifest: Ru");
  EXPECT_EQ(FatalOf("["), "Unknown line in manifest: ");
  EXPECT_EQ(FatalOf("[Features]\nFeature=A\nbin/\nx\t99999999999999999999\n[Run]"), "(no fatal error)");
  EXPECT_EQ(Feature(0).folders[0].files[0].size, UINT32_MAX);
}

TEST(EntryGrammars, RegistryLines) {
  auto parse = [](const char* line) { return std::get<RegistryRecord>(ParseRegistryEntry(line)); };
  const RegistryRecord number = parse("HKLM\\SOFTWARE\\Microchip\\MPLAB IDE\\Trace Support=0x1");
  EXPECT_EQ(number.root, kHKLM);
  EXPECT_EQ(number.key_path, "SOFTWARE\\Microchip\\MPLAB IDE");
  EXPECT_EQ(number.value_name, "Trace Support");
  EXPECT_EQ(number.kind, kRegistryNumber);
  EXPECT_EQ(number.number, 1u);
  EXPECT_EQ(parse("hkcu\\K\\V=1").root, kHKCU);
  EXPECT_EQ(parse("HKXX\\K\\V=1").root, kRootOther);
  EXPECT_EQ(parse("HKCR\\K\\V=1").root, kHKCR);
  EXPECT_EQ(parse("HKCC\\K\\V=1").root, kHKCC);
  EXPECT_EQ(parse("HKPP\\K\\V=1").root, kRootHKPP);
  EXPECT_EQ(parse("HKLM\\K\\V=0X00000001").number, 1u);
  EXPECT_EQ(parse("HKLM\\K\\V=ffffffff").number, 0xffffffffu);
  const RegistryRecord text = parse("HKCU\\A\\B\\=\"say \"hi\"\"");
  EXPECT_EQ(text.value_name, "");
  EXPECT_EQ(text.kind, kRegistryString);
  EXPECT_EQ(text.text, "say \"hi\"");
  EXPECT_EQ(parse("HKCU\\A\\V=\"\"").text, "");

  auto error = [](const char* line) { return std::get<std::string>(ParseRegistryEntry(line)); };
  EXPECT_EQ(error("HKLM"), "Bad registry entry under [Registry]");
  EXPECT_EQ(error("HKLM\\Key=1"), "Bad registry entry under [Registry]");
  EXPECT_EQ(error("HKLM\\K\\Value"), "Bad registry entry under [Registry]");
  EXPECT_EQ(error("HKLM\\K\\V=zz"), "Bad DWORD registry entry under [Registry]");
  EXPECT_EQ(error("HKLM\\K\\V="), "Bad DWORD registry entry under [Registry]");
  EXPECT_EQ(error("HKLM\\K\\V=\"open"), "Bad string registry entry under [Registry]");
}

TEST(EntryGrammars, ShortcutValues) {
  const ShortcutRecord removal = ParseShortcut("Uninstall", "resources\\setup.exe>--remove,ICONUN");
  EXPECT_EQ(removal.target, "resources\\setup.exe");
  EXPECT_EQ(removal.arguments, "--remove");
  EXPECT_EQ(removal.icon, "ICONUN");
  const ShortcutRecord doc = ParseShortcut("Manual", "docs\\manual.pdf");
  EXPECT_EQ(doc.target, "docs\\manual.pdf");
  EXPECT_EQ(doc.arguments, std::nullopt);
  EXPECT_EQ(doc.icon, std::nullopt);
  EXPECT_EQ(ParseShortcut("D", "docs\\a.pdf,ICON").icon, "ICON");
  // ">" directly followed by "," takes the icon name as the arguments.
  const ShortcutRecord odd = ParseShortcut("X", "a.exe>,ICON");
  EXPECT_EQ(odd.arguments, "ICON");
  EXPECT_EQ(odd.icon, std::nullopt);
}

}  // namespace
}  // namespace inst

namespace inst {
namespace {

// The facts themselves are seen through the install-folder page's boxes below.
TEST_F(ParserTest, ComponentFactsPastTheEndAndRequiredSelection) {
  Parse(
      "[Features]\nFeature=Main\n[Components]\nComponent=Base\nRequired=yes\nMain\n"
      "Component=Other\nSelected=no\nMain\n[Run]");
  auto& lists = state.lists;
  const InstallerLocator locate = [](const InstallerRecord& installer) { return std::optional(installer.source); };
  EXPECT_EQ(ComponentDescription(lists, 9), std::nullopt);
  EXPECT_EQ(ComponentState(lists, 9), 0);
  EXPECT_FALSE(ComponentInstalled(lists, 9));
  EXPECT_FALSE(ComponentAvailable(lists, 9));
  EXPECT_FALSE(ComponentToBeDownloaded(lists, 9, locate));
  SetComponentSelected(lists, 9, true);  // changes nothing

  SetComponentSelected(lists, 0, false);  // required stays selected
  EXPECT_EQ(ComponentState(lists, 0), 2);
  EXPECT_TRUE(lists.component_list->at(0)->selected);
  SetComponentSelected(lists, 1, true);
  EXPECT_EQ(ComponentState(lists, 1), 1);
}

// The install-folder page's boxes: labels, states, places and page text.
TEST_F(ParserTest, ComponentBoxesOfTheInstallFolderPage) {
  Parse(
      "[Features]\nFeature=Main\nFeature=Old\nFeature=Web\nInstaller=http://x/y.exe\nFeature=Bare\n"
      "[Components]\nComponent=Base\nDescription=Base files\nRequired=yes\nMain\n"
      "Component=Done\nDescription=Done before\nOld\nComponent=Net\nDescription=From the web\nSelected=no\nWeb\n"
      "Component=Empty\nDescription=Nothing in it\nBare\nComponent=Hidden\nMain\n[Run]");
  auto& lists = state.lists;
  lists.feature_list->at(1)->installed = true;
  for (std::size_t i = 0; i < 3; ++i) lists.component_list->at(i)->available = true;
  const auto has_content = [](std::size_t index) { return index != 3; };
  const InstallerLocator locate = [](const InstallerRecord& installer) { return std::optional(installer.source); };

  const ComponentChoice choice = ChooseComponentBoxes(lists, has_content, locate);
  EXPECT_EQ(choice.count, 4u);         // up to the first component without a description
  ASSERT_EQ(choice.boxes.size(), 3u);  // the one without content gets no box
  EXPECT_EQ(choice.boxes[0].label, "Base files");
  EXPECT_TRUE(choice.boxes[0].checked);
  EXPECT_FALSE(choice.boxes[0].enabled);  // required
  EXPECT_EQ(choice.boxes[1].label, "Done before (installed)");
  EXPECT_EQ(choice.boxes[2].label, "** From the web");
  EXPECT_FALSE(choice.boxes[2].checked);
  EXPECT_TRUE(choice.boxes[2].enabled);
  EXPECT_TRUE(choice.any_download);
  EXPECT_EQ(InstallFolderPageText(choice),
            "Please select components to install, and choose the installation folder, then click Next to complete the "
            "installation.\n\nComponents marked with ** will be downloaded from the website.");
  // Four rows: the frame spans 145 to 240, the boxes start at 150 in creation order.
  const DialogPlace frame = FramePlace(choice);
  EXPECT_EQ(frame.y, 145);
  EXPECT_EQ(frame.y + frame.height, 240);
  EXPECT_EQ(ComponentBoxPlace(choice, 0).y, 150);
  EXPECT_EQ(ComponentBoxPlace(choice, 2).y, 180);

  lists.component_list->at(1)->description.reset();  // one component counted: folder only
  const ComponentChoice single = ChooseComponentBoxes(lists, has_content, locate);
  EXPECT_TRUE(single.boxes.empty());
  EXPECT_EQ(FramePlace(single).height, 35);
  EXPECT_EQ(InstallFolderPageText(single),
            "Please choose the folder to install into, then click Next to complete the installation.");
}

}  // namespace
}  // namespace inst
