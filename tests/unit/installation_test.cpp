#include <gtest/gtest.h>

#include <algorithm>

#include "core/payload/container.h"
#include "core/manifest/entry_grammars.h"
#include "core/install/installation_run.h"
#include "core/install/drivers.h"
#include "core/install/install_messages.h"
#include "core/install/earlier_version.h"
#include "core/install/folder_rules.h"
#include "core/install/installed_manifest.h"
#include "core/install/removal.h"
#include "core/manifest/manifest_parser.h"
#include "fake_host.h"
#include "payload_records.h"
#include "memory_file_system.h"
#include "memory_registry.h"

namespace inst {
namespace {

using testing::FakeHost;
using testing::MemoryFileSystem;
using testing::MemoryRegistry;
using testing::ProcessEnded;
using testing::Records;

struct RecordingProgress final : Progress {
  void ReportProgress(int percent, const char* text) override {
    reports.push_back(std::to_string(percent) + (text ? std::string(" ") + text : ""));
  }
  std::vector<std::string> reports;
};

struct RecordingSteps final : FeatureSteps {
  void RunFeatureInstallers(FeatureRecord& feature) override { calls.push_back("installers " + feature.name); }
  void InstallDriver(const FeatureRecord& feature) override { calls.push_back("driver " + feature.name); }
  std::vector<std::string> calls;
};

class InstallationTest : public ::testing::Test, public testing::RunFixture {
 protected:
  InstallationTest()
      : extractor(state, fs, messages, progress),
        run(state, registry, fs, messages, extractor, progress),
        product(state, registry, fs, messages, [] { return std::string("20261206"); }) {
    state.variables.SetVariable("Version", "1.0");  // every manifest sets one
    fs.folders = {"C:", "C:\\T"};
  }
  void Parse(const std::string& text) {
    PlainManifestHooks hooks;
    ManifestParser(text, state, messages, hooks).ParseManifest();
  }
  FeatureRecord& Feature(std::size_t i) { return *state.lists.feature_list->at(i); }

  MemoryFileSystem fs;
  MemoryRegistry registry;
  RecordingProgress progress;
  FileExtractor extractor;
  InstallationRun run;
  ProductRegistration product;
  RecordingSteps steps;
};

TEST_F(InstallationTest, ProbeByUninstallEntryVersionAndClassKey) {
  Parse(
      "[Features]\nFeature=A\nRegkey=SOFTWARE\\U\\A\nMinversion=2.0\nInstaller=C:\\a.exe\n"
      "Feature=B\nRegkey=SOFTWARE\\U\\B\nbin/\n"
      "Feature=C\nHKCR=C.Doc\nFeature=D\nHKCR=D.Doc\n"
      "Feature=E\nInstaller=C:\\here.exe\nInstaller=C:\\missing.exe\n[Run]");
  fs.folders.insert("C:\\Tools");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\U\\A", "InstallLocation", "C:\\Tools\\");
  registry.RegistryWriteDword(kHKLM, "SOFTWARE\\U\\A", "Version", 0x01FF0000);
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\U\\A", "UninstallString", "C:\\Tools\\uninst.exe");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\U\\B", "InstallLocation", "C:\\Gone");
  registry.RegistryWriteString(kHKCR, "C.Doc", "", "C document");
  registry.RegistryWriteString(kHKCR, "D.Doc", "", "");
  fs.files["C:\\here.exe"] = "";
  EXPECT_FALSE(run.ProbeFeature(Feature(0)));  // 511 < 512
  EXPECT_TRUE(Feature(0).older_installed);
  EXPECT_EQ(Feature(0).uninstall_command, "C:\\Tools\\uninst.exe");
  EXPECT_FALSE(Feature(0).available);  // its installer has no source
  registry.RegistryWriteDword(kHKLM, "SOFTWARE\\U\\A", "Version", 0x02000000);
  EXPECT_TRUE(run.ProbeFeature(Feature(0)));
  EXPECT_FALSE(run.ProbeFeature(Feature(1)));  // the folder does not exist
  EXPECT_TRUE(Feature(1).available);           // it has files
  EXPECT_TRUE(run.ProbeFeature(Feature(2)));
  EXPECT_FALSE(run.ProbeFeature(Feature(3)));  // an empty default value
  EXPECT_FALSE(Feature(3).available);          // neither files nor installers
  EXPECT_FALSE(run.ProbeFeature(Feature(4)));
  EXPECT_FALSE(Feature(4).available);  // the second installer has no source
}

TEST_F(InstallationTest, UnavailableRequiredComponentHandsOverToItsAlternate) {
  Parse(
      "[Features]\nFeature=Base\nFeature=Full\nfull/\nf.txt\t1\n"
      "[Components]\nComponent=Need\nRequired=yes\nAlternate=Other\nBase\n"
      "Component=Other\nSelected=no\nFull\n[Run]");
  run.ProbeFeaturesAndComponents();
  const auto& components = *state.lists.component_list;
  EXPECT_FALSE(components[0]->available);
  EXPECT_FALSE(components[0]->required);
  EXPECT_FALSE(components[0]->selected);
  EXPECT_TRUE(components[1]->required);
  EXPECT_TRUE(components[1]->selected);
}

TEST_F(InstallationTest, RequiredSpaceAndProgressUnit) {
  Parse(
      "[Features]\nFeature=A\nbin/\na\t1\nb\t4096\nc\t4097\nFeature=Web\nInstaller=http://x/y.exe\t50000\n"
      "[Components]\nComponent=A\nA\nComponent=W\nSelected=no\nWeb\n[Run]");
  EXPECT_EQ(run.RequiredSpaceKB(), 16u);
  EXPECT_EQ(state.progress_unit, 328u);
  state.lists.component_list->at(1)->selected = true;
  EXPECT_EQ(run.RequiredSpaceKB(), (16384u + 50000u + 1023u) / 1024u);
  state.lists.resource_list.push_back({"r", "C:\\T\\r", std::nullopt, 10});
  EXPECT_EQ(run.RequiredSpaceKB(), (16384u + 50000u + 4096u + 1023u) / 1024u);
  EXPECT_TRUE(run.ComponentHasContent(0));
  EXPECT_FALSE(run.ComponentHasContent(5));
}

TEST_F(InstallationTest, PrerequisitesAndFeaturesInstalledElsewhere) {
  Parse(
      "[Features]\nFeature=Tool\nDescription=The tool\nRequires=Runtime\nbin/\nt\t1\n"
      "Feature=Runtime\nDescription=The runtime\nErrmess=Get it from the maker.\n"
      "[Components]\nComponent=All\nTool\nRuntime\n[Run]");
  host.answers = {box::kIdNo};
  EXPECT_THROW(run.CheckPrerequisites(Feature(0)), ProcessEnded);
  EXPECT_EQ(host.boxes[0].title, "Prerequisite missing");
  EXPECT_EQ(
      host.boxes[0].text,
      "The feature:\n   The tool\nhas these missing prerequisites:\n  The runtime\n\nand cannot be installed. Do you "
      "want to continue anyway?");
  EXPECT_EQ(host.boxes[1].text,
            "Installation terminated - suggest you install the prerequisites\nthen retry this installation");

  // Yes skips the feature (its files are read past); the separately installed
  // runtime is then asked about, and No ends the run.
  host.boxes.clear();
  host.answers = {box::kIdYes, box::kIdNo};
  state.variables.SetVariable("InstDir", "C:\\P");
  extractor.SetStream(OpenMemoryStream(Records({"t"})));
  EXPECT_THROW(run.RunFeatureInstallation(steps), ProcessEnded);
  ASSERT_EQ(host.boxes.size(), 3u);
  EXPECT_EQ(host.boxes[1].title, "Feature not installed");
  EXPECT_EQ(host.boxes[1].text,
            "The runtime is not installed.\nGet it from the maker.\nDo you want to continue anyway?");
  EXPECT_EQ(host.boxes[2].text, "Installation terminated - please install The runtime\nthen retry this installation");
  EXPECT_FALSE(fs.FileExists("C:\\P\\bin\\t"));

  // Yes to both: the run goes on without either feature.
  host.answers = {box::kIdYes, box::kIdYes};
  extractor.SetStream(OpenMemoryStream(Records({"t"})));
  run.RunFeatureInstallation(steps);
  EXPECT_EQ(host.boxes.size(), 5u);
  EXPECT_FALSE(fs.FileExists("C:\\P\\bin\\t"));
}

TEST_F(InstallationTest, RunWritesChosenFeaturesReadsPastOthersAndCopiesResources) {
  Parse(
      "[Features]\nFeature=One\nDescription=First\none/\na.txt\t2\nFeature=Two\ntwo/sub/\nb.txt\t3\nDriverInf=d.inf\n"
      "Feature=Three\nInstaller=http://x/setup.exe\nthree/\nc.txt\t1\n"
      "[Components]\nComponent=One\nSelected=no\nOne\nComponent=Two\nTwo\nThree\n[Run]");
  state.variables.SetVariable("InstDir", "C:\\P");
  fs.files["C:\\T\\setup.exe"] = "STUBPAYLOAD";
  fs.files["C:\\T\\icon.ico"] = "ICO";
  state.lists.resource_list.push_back({"setup.exe", "C:\\T\\setup.exe", std::string("SETUP"), 4});
  state.lists.resource_list.push_back({"icon.ico", "C:\\T\\icon.ico", std::string("ICON"), 3});
  extractor.SetStream(OpenMemoryStream(Records({"aa", "bbb", "c"})));
  run.RunFeatureInstallation(steps);

  EXPECT_FALSE(fs.FileExists("C:\\P\\one\\a.txt"));
  EXPECT_EQ(fs.files.at("C:\\P\\two\\sub\\b.txt"), "bbb");
  EXPECT_EQ(fs.files.at("C:\\P\\three\\c.txt"), "c");
  EXPECT_EQ(fs.files.at("C:\\P\\resources\\setup.exe"), "STUB");
  EXPECT_EQ(state.variables.ValueOf("SETUP"), "C:\\P\\resources\\setup.exe");
  EXPECT_EQ(state.lists.resource_list[1].name, "C:\\P\\resources\\icon.ico");
  EXPECT_EQ(steps.calls, (std::vector<std::string>{"driver Two", "installers Three"}));
  EXPECT_EQ(extractor.stream(), nullptr);  // closed after the last feature
  EXPECT_EQ(state.lists.installed_folders,
            (std::vector<std::string>{"C:\\P", "C:\\P\\two", "C:\\P\\two\\sub", "C:\\P\\three", "C:\\P\\resources"}));
  ASSERT_GE(progress.reports.size(), 3u);
  EXPECT_EQ(progress.reports[1], "0 Installing Two");
  // Outside Program Files the resources folder is the administrators' (users only
  // read it); in Program Files, as anywhere, the folders take their parent's.
  EXPECT_EQ(fs.folder_access, (std::map<std::string, std::string>{{"C:\\P\\resources", kResourcesFolderAccess}}));
  EXPECT_EQ(std::string(kResourcesFolderAccess), "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)");
  fs.folder_access.clear();
  state.variables.SetVariable("ProgramFiles", "C:\\");
  state.lists.resource_list = {{"setup.exe", "C:\\T\\setup.exe", std::string("SETUP"), 4}};
  extractor.SetStream(OpenMemoryStream(Records({"aa", "bbb", "c"})));
  run.RunFeatureInstallation(steps);
  EXPECT_TRUE(fs.folder_access.empty());
}

// A folder is refused before anything is written when its name lost letters, its
// drive is missing, its deepest file would pass Windows' path length (a backup's
// suffix counted), or the drive lacks the space.
TEST_F(InstallationTest, FoldersThatCannotTakeTheInstallation) {
  const std::string name(200, 'n');
  Parse("[Features]\nFeature=F\nbin/deep/\n" + name + "\t1\n[Components]\nComponent=C\nF\n[Run]");
  EXPECT_EQ(FolderRefusal(state.lists, "C:\\P", true), std::nullopt);
  const std::string long_folder = "C:\\" + std::string(37, 'x');  // 40 + 10 + 200 + 10 = 260
  EXPECT_EQ(FolderRefusal(state.lists, long_folder, true),
            "The folder " + long_folder +
                " is too long: the product's deepest file would need a path of 260 characters, and Windows allows "
                "259.\nChoose a shorter folder.");
  EXPECT_EQ(FolderRefusal(state.lists, long_folder.substr(0, 39), true), std::nullopt);
  EXPECT_EQ(FolderRefusal(state.lists, "C:\\users\\??", true),
            "The folder C:\\users\\?? holds letters this installer cannot use (they show as \"?\").\nChoose a folder "
            "named with the letters of this computer's language for programs.");
  EXPECT_EQ(FolderRefusal(state.lists, "Q:\\x", false),
            "The folder Q:\\x is on drive Q:, which does not exist on this computer.");
  EXPECT_EQ(SpaceRefusal("E:\\Full", 2049, 2),
            "Not enough space on E: for the installation: it needs 3 MB, and 2 MB are free.");
  EXPECT_EQ(SpaceRefusal("E:\\Full", 2048, 2), std::nullopt);
}

TEST_F(InstallationTest, InstalledManifestContentAndOrder) {
  Parse("[Variables]\nProduct=DemoC\nVersion=1.0\nInstDir=C:\\P\nOther=C:\\P2\\x\n[Run]");
  state.lists.resource_list.push_back({"setup.exe", "", std::string("SETUP"), 4});
  state.lists.resource_list.back().name = "C:\\P\\resources\\setup.exe";
  state.lists.resource_list.push_back({"plain", "", std::nullopt, 1});
  state.lists.installed_files = {"C:\\P\\bin\\a.exe", "D:\\else\\b"};
  state.lists.installed_folders = {"C:\\P", "C:\\P\\bin", "C:\\P\\bin\\deep"};
  AddShortcut(state.lists, "Uninstall", "resources\\setup.exe>--remove,ICONUN");
  AddShortcut(state.lists, "Readme", "docs\\readme.txt");
  state.variables.SetVariable("ShortcutFolder", "C:\\Users\\me\\Programs\\V\\Demo");
  const std::string text = InstalledManifestText(state, "SIG", "C:\\P\\resources\\manifest");
  EXPECT_EQ(text,
            "SIG\r\n[Variables]\r\nProduct=DemoC\r\nVersion=1.0\r\nInstDir=%InstDir%\r\nOther=%InstDir%2\\x\r\n"
            "ShortcutFolder=C:\\Users\\me\\Programs\\V\\Demo\r\nSETUP=%InstDir%\\resources\\setup.exe\r\n[Files]\r\n%"
            "InstDir%\\bin\\a.exe\r\nD:\\else\\b\r\n"
            "%InstDir%\\resources\\manifest\r\n[Folders]\r\n%InstDir%\\bin\\deep\r\n%InstDir%\\bin\r\n%InstDir%\r\n"
            "[Shortcuts]\r\nUninstall=resources\\setup.exe>--remove,ICONUN\r\nReadme=docs\\readme.txt\r\n[Run]\r\n");
  // Into an existing folder the folder itself is listed at the end.
  state.lists.installed_folders = {"C:\\P\\bin"};
  const std::string existing = InstalledManifestText(state, "SIG", "m");
  EXPECT_NE(existing.find("[Folders]\r\n%InstDir%\\bin\r\n%InstDir%\r\n[Shortcuts]"), std::string::npos);
}

// The calls a driver package takes, and which failure the box names.
TEST(DriverPackage, ThirtyTwoBitProgramsOnSixtyFourBitWindowsUpdateDevicesThroughTheSystemsTool) {
  struct System final : DriverSystem {
    std::uint32_t copy = 0, update = 0, native = 0;
    bool wow64 = false;
    std::string calls;
    std::uint32_t CopyDriverPackage(const std::string&) override { return calls += "copy ", copy; }
    std::uint32_t UpdateDevices(const std::string& device, const std::string&) override {
      return calls += "update:" + device + " ", update;
    }
    bool IsWow64() override { return wow64; }
    std::uint32_t UpdateDevicesNatively(const std::string& inf) override { return calls += "native:" + inf, native; }
  };
  struct Case {
    std::uint32_t copy, update, native;
    bool wow64;
    const char* device;
    const char* calls;
    const char* message;  // none: no box
    const char* call;
  } cases[] = {
      {0, 0, 0, false, "USB\\VID_1", "copy update:USB\\VID_1 ", nullptr, nullptr},
      {0, 0, 0, false, "", "copy ", nullptr, nullptr},
      {80, 0, 0, false, "USB\\VID_1", "copy ", nullptr, nullptr},  // in the store already
      {5, 0, 0, false, "USB\\VID_1", "copy ", msg::kDriverFilesFailed, "SetupCopyOEMInf"},
      {0, 13, 0, false, "USB\\VID_1", "copy update:USB\\VID_1 ", msg::kDriverDevicesFailed,
       "UpdateDriverForPlugAndPlayDevices"},
      {0, 0, 0, true, "USB\\VID_1", "copy native:d.inf", nullptr, nullptr},
      {0, 0, 2, true, "USB\\VID_1", "copy native:d.inf", msg::kDriverDevicesFailed, kNativeDriverTool},
      {0, kErrorInWow64, 0, false, "USB\\VID_1", "copy update:USB\\VID_1 native:d.inf", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    System system;
    system.copy = c.copy, system.update = c.update, system.native = c.native, system.wow64 = c.wow64;
    const auto failure = InstallDriverPackage(system, "d.inf", c.device);
    SCOPED_TRACE(c.calls);
    EXPECT_EQ(system.calls, c.calls);
    ASSERT_EQ(failure.has_value(), c.message != nullptr);
    if (failure) {
      EXPECT_STREQ(failure->message, c.message);
      EXPECT_STREQ(failure->call, c.call);
    }
  }
}

TEST_F(InstallationTest, RemovalStaysWithinTheInstallationAndStopsOrWaitsAtAHeldFile) {
  fs.folders.insert({"C:\\P", "C:\\P\\bin", "C:\\P\\resources", "C:\\Other"});
  for (const char* path : {"C:\\P\\bin\\a", "C:\\P\\bin\\held", "C:\\P\\resources\\manifest", "C:\\victim.txt"})
    fs.files[path] = "x";
  state.variables.SetVariable("InstDir", "C:\\P");
  state.lists.installed_files = {"C:\\victim.txt", "C:\\P\\resources\\manifest", "C:\\P\\bin\\a", "C:\\P\\bin\\held"};
  state.lists.installed_folders = {"C:\\Other", "C:\\P\\bin"};
  fs.locked["C:\\P\\bin\\held"] = 2;
  host.answers = {box::kIdRetry, box::kIdAbort};
  EXPECT_THROW(RemoveInstallation(state, fs, messages, progress, "C:\\T\\vrs.bat"), ProcessEnded);
  ASSERT_EQ(host.boxes.size(), 3u);
  EXPECT_EQ(host.boxes[0].title, "Can't delete file");
  EXPECT_EQ(host.boxes[0].text,
            "The file C:\\P\\bin\\held cannot be deleted -\nclose any other applications that may be using it");
  EXPECT_EQ(host.boxes[2].text,
            "Removal stopped: C:\\P\\bin\\held could not be deleted.\n"
            "The installation is still registered; remove it again once the file is free.");
  EXPECT_EQ(progress.reports[1], "100 Skipping file C:\\victim.txt: outside the installation");
  EXPECT_TRUE(fs.files.count("C:\\victim.txt"));
  EXPECT_TRUE(fs.files.count("C:\\P\\resources\\manifest"));  // so the removal can be run again
  EXPECT_FALSE(fs.files.count("C:\\P\\bin\\a"));

  host.answers = {box::kIdRetry};  // freed by now
  RemoveInstallation(state, fs, messages, progress, "C:\\T\\vrs.bat");
  EXPECT_FALSE(fs.files.count("C:\\P\\bin\\held"));
  EXPECT_FALSE(fs.files.count("C:\\P\\resources\\manifest"));
  EXPECT_TRUE(fs.IsDirectory("C:\\Other"));  // outside: skipped, not removed
  EXPECT_FALSE(fs.IsDirectory("C:\\P\\bin"));
  EXPECT_FALSE(state.restart_needed);

  // Ignore: the file, and the folder it keeps, go at the restart; the removal ends.
  fs.folders.insert("C:\\P\\bin");
  fs.files["C:\\P\\bin\\held"] = "x";
  fs.locked["C:\\P\\bin\\held"] = 9;
  host.answers = {box::kIdIgnore};
  progress.reports.clear();
  RemoveInstallation(state, fs, messages, progress, "C:\\T\\vrs.bat");
  EXPECT_TRUE(state.restart_needed);
  EXPECT_EQ(fs.at_restart,
            (std::vector<std::pair<std::string, std::string>>{{"C:\\P\\bin\\held", ""}, {"C:\\P\\bin", ""}}));
  EXPECT_EQ(progress.reports[4], "50 File C:\\P\\bin\\held is in use: it will be deleted when the computer restarts");
}

// An installed manifest edited to climb out of the installation deletes nothing
// outside it: every line is resolved first; in the Start-menu folder only links go.
TEST_F(InstallationTest, RemovalResolvesEveryLineBeforeItDeletes) {
  fs.folders.insert({"C:\\P", "C:\\P\\bin", "C:\\Menu", "C:\\Menu\\V", "C:\\T"});
  const std::vector<std::string> outside = {"C:\\v1.txt", "C:\\v4.txt", "C:\\Menu\\V\\notes.txt", "C:\\P\\CON"};
  for (const std::string& path : outside) fs.files[path] = "x";
  fs.files["C:\\P\\a"] = fs.files["C:\\Menu\\V\\Read me.lnk"] = "x";
  state.variables.SetVariable("InstDir", "C:\\P");
  state.variables.SetVariable("ShortcutFolder", "C:\\Menu\\V");
  state.lists.installed_files = {"C:\\P\\..\\v1.txt", "C:\\P\\bin\\..\\..\\v4.txt", "C:\\Menu\\V\\notes.txt",
                                 "C:\\P\\CON",        "C:\\P\\bin\\..\\a",          "C:\\Menu\\V\\Read me.lnk"};
  state.lists.installed_folders = {"C:\\P\\..\\Windows", "C:\\P\\bin"};
  RemoveInstallation(state, fs, messages, progress, "C:\\T\\vrs.bat");
  for (const std::string& path : outside) EXPECT_TRUE(fs.files.count(path)) << path;
  EXPECT_FALSE(fs.files.count("C:\\P\\a") || fs.files.count("C:\\Menu\\V\\Read me.lnk"));
  EXPECT_EQ(progress.reports[1], "100 Skipping file C:\\P\\..\\v1.txt: outside the installation");
  EXPECT_EQ(progress.reports[5], "50 Deleting file C:\\P\\a");
  EXPECT_EQ(progress.reports[7], "25 Skipping folder C:\\P\\..\\Windows: outside the installation");
  EXPECT_FALSE(fs.IsDirectory("C:\\P\\bin"));
}

// A link another installation has made anew (another version beside this one)
// stays; a new version of a file waiting for the restart goes with the file, and one
// still held is followed at the restart by the file's deletion.
TEST_F(InstallationTest, RemovalKeepsOthersLinksAndLeavesNothingForTheRestart) {
  fs.folders.insert({"C:\\P", "C:\\Menu", "C:\\T"});
  state.variables.SetVariable("InstDir", "C:\\P");
  state.variables.SetVariable("ShortcutFolder", "C:\\Menu");
  AddShortcut(state.lists, "Read me", "docs\\readme.txt");
  AddShortcut(state.lists, "Manual", "docs\\manual.pdf");
  fs.files["C:\\Menu\\Read me.lnk"] = "C:\\P2\\docs\\readme.txt";  // made anew by version 2
  fs.files["C:\\Menu\\Manual.lnk"] = "C:\\P\\docs\\manual.pdf";
  for (const char* file : {"C:\\P\\a.dll", "C:\\P\\a.dll.vr-new", "C:\\P\\b.dll", "C:\\P\\b.dll.vr-new"})
    fs.files[file] = "x";
  fs.locked["C:\\P\\b.dll.vr-new"] = 1;
  state.lists.installed_files = {"C:\\Menu\\Read me.lnk", "C:\\Menu\\Manual.lnk", "C:\\P\\a.dll", "C:\\P\\b.dll"};
  RemoveInstallation(state, fs, messages, progress, "C:\\T\\vrs.bat");
  EXPECT_EQ(progress.reports[1],
            "100 Keeping file C:\\Menu\\Read me.lnk: another installation points it to C:\\P2\\docs\\readme.txt");
  EXPECT_TRUE(fs.files.count("C:\\Menu\\Read me.lnk"));
  EXPECT_FALSE(fs.files.count("C:\\Menu\\Manual.lnk") || fs.files.count("C:\\P\\a.dll") ||
               fs.files.count("C:\\P\\a.dll.vr-new") || fs.files.count("C:\\P\\b.dll"));
  EXPECT_EQ(fs.at_restart, (std::vector<std::pair<std::string, std::string>>{{"C:\\P\\b.dll", ""}}));
  EXPECT_TRUE(state.restart_needed);
}

// Another version in the folder is set aside under the run's journal (back if the
// run fails), and its records go once the run has succeeded; the same version, or
// another product, is none.
TEST_F(InstallationTest, AnotherVersionInTheFolderIsReplacedUnderTheJournal) {
  fs.folders.insert({"C:\\P", "C:\\P\\bin", "C:\\P\\resources", "C:\\Data", "C:\\Menu", "C:\\Menu\\P 1.0"});
  fs.files["C:\\P\\bin\\old.exe"] = fs.files["C:\\P\\bin\\both.exe"] = fs.files["C:\\Menu\\P 1.0\\Read.lnk"] = "1.0";
  // Its links are in a Start-menu folder of its own, beside this version's.
  state.variables.SetVariable("ShortcutFolder", "C:\\Menu\\P 2.0");
  fs.files["C:\\P\\resources\\manifest"] =
      "SIG\r\n[Variables]\r\nManufacturer=M\r\nProduct=P\r\nVersion=1.0\r\nShortcutFolder=C:\\Menu\\P "
      "1.0\r\n[Files]\r\n"
      "%InstDir%\\bin\\old.exe\r\n%InstDir%\\bin\\both.exe\r\n%InstDir%\\resources\\manifest\r\n"
      "C:\\Menu\\P 1.0\\Read.lnk\r\n[Folders]\r\n%InstDir%\\bin\r\n[Run]\r\n";
  const std::string entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P 1.0PL0";
  registry.RegistryWriteString(kHKLM, entry, "InstallLocation", "C:\\P");
  registry.RegistryWriteString(kHKLM, "SOFTWARE\\M\\P\\1.0\\PL0", "InstDir", "C:\\P");
  state.variables.SetVariable("InstDir", "C:\\P");
  state.variables.SetVariable("Manufacturer", "M");
  state.variables.SetVariable("Product", "P");
  EXPECT_FALSE(FindEarlierVersion(state.variables, fs, messages, "C:\\P"));  // 1.0 again: a reinstall
  state.variables.SetVariable("Version", "2.0");
  const auto earlier = FindEarlierVersion(state.variables, fs, messages, "C:\\P");
  ASSERT_TRUE(earlier);
  state.variables.SetVariable("Product", "Q");
  EXPECT_FALSE(FindEarlierVersion(state.variables, fs, messages, "C:\\P"));
  state.variables.SetVariable("Product", "P");

  const auto before = fs.files;
  ASSERT_TRUE(state.journal.Begin(fs, "C:\\Data\\run.journal", "C:\\P"));
  BeginReplacingEarlierVersion(state, *earlier, fs, progress);
  EXPECT_EQ(progress.reports.back(), "-1 Replacing P 1.0PL0, installed in this folder");
  state.lists.installed_files = {"C:\\P\\bin\\both.exe"};  // written by the new version: not set aside
  SetAsideEarlierFiles(state, *earlier, fs);
  EXPECT_FALSE(fs.files.count("C:\\P\\bin\\old.exe") || fs.files.count("C:\\P\\resources\\manifest"));
  EXPECT_EQ(fs.files.at("C:\\P\\bin\\both.exe"), "1.0");
  EXPECT_EQ(state.lists.installed_folders, std::vector<std::string>{"C:\\P\\bin"});  // now this installation's
  state.journal.RollBack(registry);
  EXPECT_EQ(fs.files, before);

  ASSERT_TRUE(state.journal.Begin(fs, "C:\\Data\\run.journal", "C:\\P"));
  BeginReplacingEarlierVersion(state, *earlier, fs, progress);
  fs.files["C:\\P\\bin\\both.exe"] = "2.0";  // what the new version writes
  SetAsideEarlierFiles(state, *earlier, fs);
  state.journal.Finish();
  ForgetEarlierVersion(state.variables, *earlier, registry, fs, messages);
  EXPECT_EQ(fs.files, (std::map<std::string, std::string>{{"C:\\P\\bin\\both.exe", "2.0"}}));
  EXPECT_FALSE(registry.RegistryReadString(kHKLM, entry, "InstallLocation").ok());
  EXPECT_FALSE(registry.RegistryReadString(kHKLM, "SOFTWARE\\M\\P\\1.0\\PL0", "InstDir").ok());
  EXPECT_FALSE(fs.IsDirectory("C:\\Menu\\P 1.0"));
}

TEST_F(InstallationTest, ReinstallingKeepsTheEarlierRecordsOfTheSameProduct) {
  Parse("[Variables]\nManufacturer=M\nProduct=DemoC\n[Run]");
  state.variables.SetVariable("InstDir", "C:\\P");
  state.variables.SetFlag("Install", true);
  fs.folders.insert({"C:\\P", "C:\\P\\resources"});
  const std::string earlier =
      "SIG\r\n[Variables]\r\nManufacturer=M\r\nProduct=DemoC\r\n[Files]\r\n%InstDir%\\examples\\x.c\r\n"
      "%InstDir%\\bin\\a.exe\r\n[Folders]\r\n%InstDir%\\examples\r\n%InstDir%\\bin\r\n%InstDir%\r\n[Shortcuts]\r\n[Run]"
      "\r\n";
  fs.files["C:\\P\\resources\\manifest"] = earlier;
  state.lists.installed_files = {"C:\\P\\bin\\a.exe"};
  state.lists.installed_folders = {"C:\\P\\bin"};
  WriteInstalledManifest(state, fs, messages, "SIG");
  EXPECT_EQ(fs.files["C:\\P\\resources\\manifest"],
            "SIG\r\n[Variables]\r\nManufacturer=M\r\nProduct=DemoC\r\n[Files]\r\n%InstDir%\\bin\\a.exe\r\n"
            "%InstDir%\\examples\\x.c\r\n%InstDir%\\resources\\manifest\r\n[Folders]\r\n%InstDir%\\examples\r\n"
            "%InstDir%\\bin\r\n%InstDir%\r\n[Shortcuts]\r\n[Run]\r\n");

  // Another product's records are not taken over.
  fs.files["C:\\P\\resources\\manifest"] = "SIG\r\n[Variables]\r\nProduct=Other\r\n[Files]\r\nC:\\P\\theirs\r\n";
  state.lists.installed_files = {"C:\\P\\bin\\a.exe"};
  WriteInstalledManifest(state, fs, messages, "SIG");
  EXPECT_EQ(fs.files["C:\\P\\resources\\manifest"].find("theirs"), std::string::npos);
}

TEST_F(InstallationTest, CollapseInstDir) {
  state.variables.SetVariable("InstDir", "C:\\P");
  EXPECT_EQ(CollapseInstDir("C:\\P\\bin\\a.exe", state.variables), "%InstDir%\\bin\\a.exe");
  EXPECT_EQ(CollapseInstDir("C:\\p\\x", state.variables), "%InstDir%\\x");
  EXPECT_EQ(CollapseInstDir("c:\\P\\x", state.variables), "c:\\P\\x");  // the first character must match exactly
  EXPECT_EQ(CollapseInstDir("D:\\P\\x", state.variables), "D:\\P\\x");
}

TEST_F(InstallationTest, RemovalReportsAFallingBarAndHandsBusyFoldersToTheScript) {
  fs.folders.insert({"C:\\P", "C:\\P\\bin", "C:\\P\\resources"});
  auto file = [](int i) {
    std::string path = "C:\\P\\bin\\f";
    path += std::to_string(i);
    return path;
  };
  for (int i = 0; i < 9; ++i) fs.files[file(i)] = "";
  fs.files["C:\\P\\bin\\user-added.txt"] = "mine";
  state.variables.SetVariable("InstDir", "C:\\P");
  state.variables.SetVariable("SETUP", "C:\\P\\resources\\setup.exe");
  for (int i = 0; i < 9; ++i) state.lists.installed_files.push_back(file(i));
  state.lists.installed_files.push_back("C:\\P\\resources\\setup.exe");
  state.lists.installed_folders = {"C:\\P\\bin", "C:\\P\\resources", "C:\\P"};
  const std::string script = RemoveInstallation(state, fs, messages, progress, "C:\\T\\vrs1.bat");
  EXPECT_EQ(script, "C:\\T\\vrs1.bat");
  ASSERT_EQ(progress.reports.size(), 14u);
  EXPECT_EQ(progress.reports[0], "100");
  EXPECT_EQ(progress.reports[1], "100 Deleting file C:\\P\\bin\\f0");
  EXPECT_EQ(progress.reports[2].substr(0, 3), "92 ");
  EXPECT_EQ(progress.reports[13], "7 Removing folder C:\\P");
  EXPECT_EQ(fs.files.at("C:\\P\\bin\\user-added.txt"), "mine");
  EXPECT_TRUE(fs.IsDirectory("C:\\P\\bin"));
  EXPECT_FALSE(fs.IsDirectory("C:\\P\\resources"));
  const std::string text = fs.files.at("C:\\T\\vrs1.bat");
  EXPECT_NE(text.find("del \"C:\\P\\resources\\setup.exe\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("if %tries% geq 60 goto Removed\r\n"), std::string::npos);
  EXPECT_NE(text.find(":Removed\r\nrmdir \"C:\\P\\bin\"\r\nrmdir \"C:\\P\"\r\ndel \"C:\\T\\vrs1.bat\"\r\n"),
            std::string::npos);
  // A script that cannot be written in full is not left to run.
  fs.write_limit = 10;
  EXPECT_THROW(RemoveInstallation(state, fs, messages, progress, "C:\\T\\vrs2.bat"), ProcessEnded);
  EXPECT_EQ(host.boxes.back().text, "Could not create C:\\T\\vrs2.bat");
}

}  // namespace
}  // namespace inst
