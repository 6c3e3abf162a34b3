#include "core/wizard/wizard.h"

#include <gtest/gtest.h>

#include <memory>

namespace inst {
namespace {

struct RecordingFrame final : WizardFrame {
  void EnableNext(bool on) override { next = on; }
  void EnableBack(bool on) override { back = on; }
  void EnableCancel(bool on) override { cancel = on; }
  void SetNextText(const char* text) override { next_text = text; }
  void Repaint() override { ++repaints; }
  void Finish() override { ++finished; }
  bool next = false, back = false, cancel = true;
  std::string next_text = "Next >";
  int repaints = 0, finished = 0;
};

class WizardTest : public ::testing::Test {
 protected:
  // A page whose answers the test sets; every call is logged.
  struct ScriptedPage final : Page {
    ScriptedPage(WizardTest& test, int index) : test(test), index(index) {}
    std::uint32_t Enter(bool forward) override { return Log("enter", forward, test.enter[index]); }
    std::uint32_t Leave(bool forward) override { return Log("leave", forward, test.leave[index]); }
    bool Command(int id) override { return id == index; }
    std::uint32_t Log(const char* event, bool forward, std::uint32_t answer) {
      test.log.push_back(std::string(event) + " " + std::to_string(index) + (forward ? " fwd" : " back"));
      return answer;
    }
    WizardTest& test;
    int index;
  };

  std::vector<PageRecord> Pages() {
    std::vector<PageRecord> pages;
    for (int i = 0; i < 6; ++i) {
      scripted.push_back(std::make_unique<ScriptedPage>(*this, i));
      pages.push_back({true, std::to_string(i), "", scripted.back().get()});
    }
    return pages;
  }
  std::uint32_t enter[6] = {0, 0, 0, 0, 0, 0};
  std::uint32_t leave[6] = {0, 0, 0, 0, 0, 0};
  std::vector<std::string> log;
  std::vector<std::unique_ptr<ScriptedPage>> scripted;
  RecordingFrame frame;
};

TEST_F(WizardTest, ForwardAndBackwardMovesAndButtons) {
  Wizard wizard(Pages(), frame);
  EXPECT_FALSE(wizard.Command(0));  // no page shown yet
  wizard.GoToPage(0);
  EXPECT_EQ(log, std::vector<std::string>{"enter 0 fwd"});
  EXPECT_TRUE(wizard.Command(0));
  EXPECT_FALSE(wizard.Command(1));  // no WZ_LEAVE before the first page
  EXPECT_FALSE(frame.back);
  EXPECT_EQ(frame.next_text, "Next");
  wizard.Next();
  EXPECT_TRUE(frame.back);
  EXPECT_EQ(wizard.current_page(), 1);
  wizard.Back();
  EXPECT_EQ(log.back(), "enter 0 back");
  EXPECT_EQ(wizard.current_page(), 0);
  wizard.Back();  // on page 0 Back goes to page 0
  EXPECT_EQ(wizard.current_page(), 0);
}

TEST_F(WizardTest, StaySkipAndLock) {
  Wizard wizard(Pages(), frame);
  wizard.GoToPage(0);
  leave[0] = kPageStay;
  wizard.Next();
  EXPECT_EQ(wizard.current_page(), 0);
  EXPECT_EQ(log.back(), "leave 0 fwd");
  leave[0] = 0;
  enter[1] = kPageSkip;
  enter[2] = kPageSkip | kPageLockBack;
  log.clear();
  wizard.Next();
  // A skipped page is left like a shown one before the next is entered.
  EXPECT_EQ(log, (std::vector<std::string>{"leave 0 fwd", "enter 1 fwd", "leave 1 fwd", "enter 2 fwd", "leave 2 fwd",
                                           "enter 3 fwd"}));
  EXPECT_EQ(wizard.current_page(), 3);
  EXPECT_FALSE(frame.back);  // locked for good
  wizard.Next();
  wizard.Next();
  EXPECT_EQ(wizard.current_page(), 5);
  EXPECT_FALSE(frame.back);
  EXPECT_EQ(frame.next_text, "Finish");
  EXPECT_FALSE(frame.cancel);
  wizard.Next();
  EXPECT_EQ(frame.finished, 1);
}

TEST_F(WizardTest, BackwardSkipEntersTheLowerPage) {
  Wizard wizard(Pages(), frame);
  wizard.GoToPage(3);
  enter[2] = kPageSkip;
  log.clear();
  wizard.Back();
  EXPECT_EQ(log, (std::vector<std::string>{"leave 3 back", "enter 2 back", "leave 2 back", "enter 1 back"}));
  EXPECT_EQ(wizard.current_page(), 1);
}

}  // namespace
}  // namespace inst

#include "core/wizard/completion.h"
#include "core/wizard/configuration.h"
#include "core/wizard/dialog_units.h"
#include "core/wizard/install_folder.h"
#include "core/wizard/licence.h"
#include "fake_host.h"
#include "memory_file_system.h"
#include "memory_registry.h"

namespace inst {
namespace {

TEST(DialogUnits, PageTextAreaInPixels) {
  const UnitRect pixels = DialogUnitsToPixels({25, 75, 375, 250}, {6, 13});
  EXPECT_EQ(pixels.left, 37);
  EXPECT_EQ(pixels.top, 121);
  EXPECT_EQ(pixels.right, 562);
  EXPECT_EQ(pixels.bottom, 406);
  // At 150% and 200% every edge lies within a pixel of 1.5 and 2 times its 96-DPI place.
  for (const int dpi : {144, 192}) {
    const UnitRect scaled = DialogUnitsToPixels({25, 75, 375, 250}, {6, 13}, dpi);
    const int edges[][2] = {{scaled.left, 37}, {scaled.top, 121}, {scaled.right, 562}, {scaled.bottom, 406}};
    for (const auto& [edge, at96] : edges) EXPECT_NEAR(edge, at96 * dpi / 96.0, 1.0) << dpi;
  }
  const DialogUnits units = ComputeDialogUnits(8, 16, 416, 16, 312, 13);
  EXPECT_EQ(units.horizontal, 6);
  EXPECT_EQ(units.vertical, 13);
}

TEST(InstallFolderPage, SpaceTextsAndThePreviousInstaller) {
  EXPECT_EQ(SpaceQueryPath("D:\\Tools\\X"), "D:\\");
  EXPECT_EQ(SpaceQueryPath("Tools\\X"), "Tools\\X");
  EXPECT_EQ(SpaceQueryPath(""), "");
  EXPECT_EQ(SpaceAvailableText(79420), "Space available: 79420 MB");
  EXPECT_EQ(SpaceRequiredText(2867), "Space required: 2.8 MB");
  EXPECT_EQ(PreviousInstallerPath("C:\\Old\\"), "C:\\Old\\resources\\setup.exe");
  EXPECT_EQ(PreviousInstallerPath("C:\\Old"), "C:\\Old\\resources\\setup.exe");
}

TEST(LicencePage, TextIsCutAndAMissingFileIsNone) {
  testing::MemoryFileSystem files;
  files.files["C:\\T\\licence.txt"] = std::string(kMaxLicenceText, 'a') + "cut";
  files.files["C:\\T\\empty.txt"] = "";
  const std::string path = "C:\\T\\licence.txt", empty = "C:\\T\\empty.txt", missing = "C:\\T\\none.txt";
  EXPECT_EQ(ReadLicenceText(files, &path), std::string(kMaxLicenceText, 'a'));
  EXPECT_EQ(ReadLicenceText(files, &empty), "");
  EXPECT_EQ(ReadLicenceText(files, &missing), std::nullopt);
  EXPECT_EQ(ReadLicenceText(files, nullptr), std::nullopt);
}

TEST(ConfigurationPage, PathEntriesComparedWhole) {
  EXPECT_EQ(PathWithFolder("C:\\Windows;C:\\Tools\\bin2", "C:\\Tools\\bin"),
            "C:\\Windows;C:\\Tools\\bin2;C:\\Tools\\bin");
  EXPECT_EQ(PathWithFolder("C:\\Windows;c:\\tools\\BIN\\;D:\\x", "C:\\Tools\\bin"), std::nullopt);
  EXPECT_EQ(PathWithFolder("C:\\Windows;", "C:\\Tools\\bin"), "C:\\Windows;C:\\Tools\\bin");
  EXPECT_EQ(PathWithFolder("", "C:\\Tools\\bin"), "C:\\Tools\\bin");
}

TEST(ConfigurationPage, AddPathEntryKeepsTheValuesTypeAndReferences) {
  testing::MemoryRegistry registry;
  EXPECT_FALSE(AddPathEntry(registry, "PATH", "C:\\P\\bin"));  // no value: left alone
  registry.RegistryWriteExpandString(kHKLM, kEnvironmentKey, "PATH", "%SystemRoot%\\system32;%SystemRoot%");
  EXPECT_TRUE(AddPathEntry(registry, "PATH", "C:\\P\\bin"));
  EXPECT_TRUE(AddPathEntry(registry, "PATH", "c:\\p\\BIN\\"));  // there already
  const RegistryValue stored = registry.RegistryReadStored(kHKLM, kEnvironmentKey, "PATH");
  EXPECT_EQ(stored.text, "%SystemRoot%\\system32;%SystemRoot%;C:\\P\\bin");
  EXPECT_TRUE(stored.expandable);
  registry.RegistryWriteString(kHKLM, kEnvironmentKey, "PATH", std::string(kRegistryValueLimit, 'x'));
  EXPECT_FALSE(AddPathEntry(registry, "PATH", "C:\\P\\bin"));  // too long: left alone
}

TEST(CompletionPage, TextForEachRunMode) {
  InstallerVariables vars(testing::NoEnvironment);
  vars.SetVariable("Description", "Demo");
  vars.SetVariable("Version", "1.2");
  vars.SetFlag("Install", true);
  EXPECT_EQ(CompletionText(vars), "Congratulations!\nDemo version 1.2 has been successfully installed");
  vars.SetVariable("PatchLevel", "pl0");
  EXPECT_EQ(CompletionText(vars), "Congratulations!\nDemo version 1.2 has been successfully installed");
  vars.SetVariable("PatchLevel", "PL3");
  EXPECT_EQ(CompletionText(vars), "Congratulations!\nDemo version 1.2PL3 has been successfully installed");
  vars.SetFlag("Install", false);
  EXPECT_EQ(CompletionText(vars), "Demo version 1.2 has been successfully repaired.");
  EXPECT_EQ(CompletionText(vars, true),
            "Demo version 1.2 has been successfully repaired.\n\nSome files were in use. Restart the computer to "
            "finish: they are replaced or removed then.");
  vars.SetFlag("Remove", true);
  vars.SetVariable("PatchLevel", "PL0");
  EXPECT_EQ(CompletionText(vars), "Demo V1.2PL0 has been successfully uninstalled.");
}

TEST(CompletionPage, DocumentsAreOpenedInTheReverseOfTheirListingAndBadEntriesEndTheRun) {
  InstallerVariables vars(testing::NoEnvironment);
  testing::FakeHost host;
  Messages messages(host, vars);
  vars.SetVariable("InstDir", "C:\\P");
  vars.SetVariable("ReadPDFs", "Manual|Notes");
  vars.SetVariable("Manual", "doc\\manual.pdf|User manual|2");
  vars.SetVariable("Notes", "notes.pdf|Release notes");
  const std::vector<CompletionDocument> documents = ReadDocumentList(vars, messages);
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(documents[0].title, "Release notes");
  EXPECT_EQ(documents[0].path, "C:\\P\\notes.pdf");
  EXPECT_EQ(documents[1].title, "User manual|2");
  EXPECT_EQ(documents[1].path, "C:\\P\\doc\\manual.pdf");

  const std::pair<const char*, const char*> faults[] = {{"Manual|Gone", "Can't find variable \"Gone\" in manifest"},
                                                        {"Manual|Bare", "Syntax error in value of variable \"Bare\""}};
  vars.SetVariable("Bare", "notes.pdf");
  for (const auto& [list, text] : faults) {
    vars.SetVariable("ReadPDFs", list);
    EXPECT_THROW(ReadDocumentList(vars, messages), testing::ProcessEnded);
    EXPECT_EQ(host.boxes.back().title, kFatalErrorTitle);
    EXPECT_EQ(host.boxes.back().text, text);
  }
}

TEST(CompletionPage, JavaIsNeededUntilALineOfTheListMatchesAReadableRuntime) {
  InstallerVariables vars(testing::NoEnvironment);
  testing::MemoryRegistry registry;
  testing::MemoryFileSystem files;
  const std::string key = std::string(kJavaRuntimeKey) + "\\";
  EXPECT_FALSE(JavaNeeded(vars, registry, files));  // no JAVA: never needed
  vars.SetVariable("JAVA", "C:\\jre.exe");
  registry.RegistryWriteString(kHKLM, key + "1", "JavaHome", "C:\\J1");
  registry.RegistryWriteString(kHKLM, key + "1.6.0_13", "Other", "x");
  EXPECT_TRUE(JavaNeeded(vars, registry, files));  // no list
  vars.SetVariable("JCOMPAT", "C:\\jcompat.txt");
  EXPECT_TRUE(JavaNeeded(vars, registry, files));  // list unreadable
  // "1.6" does not accept "1", nor a version without JavaHome; comments and blank lines skipped.
  files.files["C:\\jcompat.txt"] = "# versions\r\n\r\n\n1.6\r\n";
  EXPECT_TRUE(JavaNeeded(vars, registry, files));
  registry.RegistryWriteString(kHKLM, key + "1.6.0_20", "JavaHome", "C:\\J16");
  EXPECT_FALSE(JavaNeeded(vars, registry, files));  // a list with Windows line ends matches
  files.files["C:\\jcompat.txt"] = "#1\n1.7\n";
  EXPECT_TRUE(JavaNeeded(vars, registry, files));
}

}  // namespace
}  // namespace inst
