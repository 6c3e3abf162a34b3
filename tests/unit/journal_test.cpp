#include "core/install/install_journal.h"

#include <gtest/gtest.h>

#include "core/install/extraction.h"
#include "core/wizard/configuration.h"
#include "fake_host.h"
#include "memory_file_system.h"
#include "memory_registry.h"
#include "payload_records.h"

namespace inst {
namespace {

using testing::MemoryFileSystem;
using testing::MemoryRegistry;

constexpr const char* kJournals = "C:\\Data\\Maker\\Journals";
constexpr const char* kJournal = "C:\\Data\\Maker\\Journals\\7-1.journal";

std::string Dump(const MemoryFileSystem& fs) {
  std::string out;
  for (const std::string& folder : fs.folders) out += folder + "\n";
  for (const auto& [path, content] : fs.files) out += path + "=" + content + "\n";
  return out;
}

std::string Dump(const MemoryRegistry& registry) {
  std::string out;
  for (const auto& [key, content] : registry.keys) {
    out += key + "\n";
    for (const auto& [name, data] : content.values) {
      out += "  " + name + "=";
      out += std::holds_alternative<std::string>(data) ? std::get<std::string>(data)
                                                       : std::to_string(std::get<std::uint32_t>(data));
      out += registry.expandable.count(key + "\\" + name) ? " (expandable)\n" : "\n";
    }
  }
  return out;
}

// An installation run's changes of every kind, with the machine as it was before.
struct Machine : testing::RunFixture {
  Machine() : journaled(registry, state.journal), extractor(state, fs, messages, progress) {
    fs.folders = {"C:", "C:\\Data", "C:\\P", "C:\\T"};
    state.variables.SetVariable("InstDir", "C:\\P");
    fs.files["C:\\P\\old.dll"] = "before";
    fs.files["C:\\P\\same.txt"] = kSame;
    fs.files["C:\\P\\middle.dat"] = Middle('b');
    fs.files["C:\\T\\setup.exe"] = "stub+payload";
    registry.RegistryWriteString(kHKLM, "SOFTWARE\\M", "Shared", "before");
    registry.RegistryWriteDword(kHKLM, "SOFTWARE\\M", "Count", 3);
    registry.RegistryWriteExpandString(kHKLM, kEnvironmentKey, "PATH", "%SystemRoot%;C:\\X");
    extractor.SetStream(OpenMemoryStream(testing::Records({"new exe", "new dll", kSame, Middle('c')})));
  }
  static constexpr const char* kSame = "the same in both versions";
  // Two chunks and more, differing in one byte of the second.
  static std::string Middle(char byte) {
    std::string text(20000, 'm');
    text[10000] = byte;
    return text;
  }
  // The steps of the run, one at a time; what the run's start makes comes first.
  void Step(int step) {
    switch (step) {
      case 0:
        ASSERT_TRUE(fs.CreateFolder("C:\\Data\\Maker") && fs.CreateFolder(kJournals));
        ASSERT_TRUE(state.journal.Begin(fs, kJournal, "C:\\P"));
        break;
      case 1:
        ASSERT_EQ(journaled.RegistryWriteString(kHKLM, "SOFTWARE\\M\\P\\1.0\\PL0", "InstDir", "C:\\P"), 0u);
        ASSERT_EQ(journaled.RegistryWriteString(kHKLM, "SOFTWARE\\M\\P\\1.0\\PL0", "BuildNo", "7"), 0u);
        break;
      case 2:
        ASSERT_EQ(journaled.RegistryWriteDword(kHKLM, "SOFTWARE\\M", "Count", 4), 0u);
        ASSERT_EQ(journaled.RegistryWriteString(kHKLM, "SOFTWARE\\M", "Shared", "changed"), 0u);
        ASSERT_EQ(journaled.RegistryWriteString(kHKLM, "SOFTWARE\\M", "Shared", "changed again"), 0u);
        break;
      case 3:
        ASSERT_TRUE(AddPathEntry(journaled, "PATH", "C:\\P\\bin"));
        ASSERT_EQ(journaled.RegistryWriteDword(kHKLM, "SOFTWARE\\M", "language", 12), 0u);
        break;
      case 4:
        extractor.CreateFolderPath("C:\\P\\bin\\sub");
        break;
      case 5:
        extractor.ExtractFile("C:\\P\\bin\\sub\\a.exe", 7);
        break;
      case 6:
        // In use at first (it cannot be moved aside either): freed, and tried again.
        fs.locked["C:\\P\\old.dll"] = 1;
        host.answers = {box::kIdRetry};
        extractor.ExtractFile("C:\\P\\old.dll", 7);
        break;
      case 7:
        extractor.CopyInstallFile("C:\\T\\setup.exe", "C:\\P\\setup.exe", 4);
        extractor.CopyInstallFile("C:\\T\\setup.exe", "C:\\P\\setup.exe", 4);  // written twice: one backup
        break;
      case 8:
        // Found as the payload has it: left alone. One byte differs: written whole.
        extractor.ExtractFile("C:\\P\\same.txt", static_cast<std::uint32_t>(std::string(kSame).size()));
        extractor.ExtractFile("C:\\P\\middle.dat", 20000);
        break;
    }
  }
  static constexpr int kSteps = 9;

  MemoryFileSystem fs;
  MemoryRegistry registry;
  JournalingRegistry journaled;
  struct : Progress {
    void ReportProgress(int, const char*) override {}
  } progress;
  FileExtractor extractor;
};

// Stopped after any step, by a failure (the run takes itself back) or by a kill
// (the next run takes it back from the journal's file), the machine is as before.
TEST(Journal, ARunStoppedAtAnyStepIsTakenBackWhole) {
  const Machine untouched;
  const std::string files_before = Dump(untouched.fs), registry_before = Dump(untouched.registry);
  for (int stop = 1; stop <= Machine::kSteps; ++stop) {
    for (const bool killed : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "after step " << stop - 1 << (killed ? ", killed" : ", failed"));
      Machine machine;
      for (int step = 0; step < stop; ++step) machine.Step(step);
      if (killed) {
        ASSERT_TRUE(machine.fs.files.count(kJournal));
        EXPECT_EQ(TakeBackInterruptedRuns(machine.fs, machine.registry, kJournals), std::vector<std::string>{"C:\\P"});
      } else {
        machine.state.journal.RollBack(machine.registry);
      }
      EXPECT_EQ(Dump(machine.fs), files_before);
      EXPECT_EQ(Dump(machine.registry), registry_before);
    }
  }
}

TEST(Journal, ASucceededRunKeepsItsChangesAndDropsBackupsAndJournal) {
  Machine machine;
  for (int step = 0; step < Machine::kSteps; ++step) machine.Step(step);
  ASSERT_TRUE(machine.fs.files.count("C:\\P\\old.dll.vr-backup"));
  machine.state.journal.Finish();
  EXPECT_FALSE(machine.state.journal.recording());
  EXPECT_EQ(machine.fs.files.at("C:\\P\\old.dll"), "new dll");
  EXPECT_FALSE(machine.fs.files.count("C:\\P\\old.dll.vr-backup"));
  EXPECT_FALSE(machine.fs.files.count("C:\\P\\setup.exe.vr-backup"));
  EXPECT_EQ(machine.fs.files.at("C:\\P\\middle.dat"), Machine::Middle('c'));
  // The file that was the same was neither backed up nor written: nothing to take back.
  for (const JournalEntry& entry : machine.state.journal.entries()) EXPECT_NE(entry.path, "C:\\P\\same.txt");
  EXPECT_EQ(machine.state.lists.installed_files.back(), "C:\\P\\middle.dat");
  EXPECT_FALSE(machine.fs.IsDirectory("C:\\Data\\Maker"));  // the journal's folders went with it
  EXPECT_TRUE(machine.fs.IsDirectory("C:\\Data"));
}

TEST(Journal, LinesReadBackWholeAndACutLastLineIsLeftOut) {
  const JournalEntry odd{JournalEntry::kChangedString, kHKLM, "K\\ey", "tab\there", "100%\r\nnext"};
  const std::string text = odd.Line() + JournalEntry{JournalEntry::kNewFile, 0, "C:\\P\\a.exe"}.Line();
  const std::vector<JournalEntry> read = ReadJournal(text + "F\tC:\\P\\cut");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].kind, JournalEntry::kChangedString);
  EXPECT_EQ(read[0].root, kHKLM);
  EXPECT_EQ(read[0].name, "tab\there");
  EXPECT_EQ(read[0].data, "100%\r\nnext");
  EXPECT_EQ(read[1].path, "C:\\P\\a.exe");
  EXPECT_TRUE(ReadJournal("Z\tx\t\t\t0\nF\tonly two\n").empty());  // unknown kind, missing fields
}

}  // namespace
}  // namespace inst
