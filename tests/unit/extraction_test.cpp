#include "core/install/extraction.h"

#include <gtest/gtest.h>

#include "core/payload/container.h"
#include "fake_host.h"
#include "payload_records.h"
#include "memory_file_system.h"

namespace inst {
namespace {

using testing::FakeHost;
using testing::MemoryFileSystem;
using testing::ProcessEnded;
using testing::Records;

struct RecordingProgress final : Progress {
  void ReportProgress(int percent, const char* text) override {
    percents.push_back(percent);
    if (text) lines.push_back(text);
  }
  bool StopRequested() override { return percents.size() >= stop_after; }
  std::vector<int> percents;
  std::vector<std::string> lines;
  std::size_t stop_after = SIZE_MAX;
};

class ExtractionTest : public ::testing::Test, public testing::RunFixture {
 protected:
  ExtractionTest() : extractor(state, fs, messages, progress) {
    fs.folders = {"C:", "C:\\P"};
    state.variables.SetVariable("InstDir", "C:\\P");
    state.variables.SetVariable("TmpDir", "C:\\T");
  }
  std::string FatalOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ProcessEnded&) {
      return host.boxes.back().text;
    }
    return "(no fatal error)";
  }

  MemoryFileSystem fs;
  RecordingProgress progress;
  FileExtractor extractor;
};

TEST_F(ExtractionTest, RecordsAreWrittenOrPassedOverInOrder) {
  const std::string big(20000, 'b');
  fs.files["C:\\P\\empty"] = "there before";
  extractor.SetStream(OpenMemoryStream(Records({"hello", "", "skipped", big})));
  extractor.ExtractFile("C:\\P\\a.txt", 5);
  extractor.ExtractFile("C:\\P\\empty", 0);
  extractor.ExtractFile(std::nullopt, 7);
  extractor.ExtractFile("C:\\P\\big", 20000);
  EXPECT_EQ(fs.files.at("C:\\P\\a.txt"), "hello");
  EXPECT_EQ(fs.files.at("C:\\P\\empty"), "");
  EXPECT_EQ(fs.files.at("C:\\P\\big"), big);
  EXPECT_EQ(fs.files.size(), 3u);
  EXPECT_EQ(state.lists.installed_files, (std::vector<std::string>{"C:\\P\\a.txt", "C:\\P\\empty", "C:\\P\\big"}));
  EXPECT_EQ(state.file_ordinal, 4u);
  EXPECT_TRUE(progress.percents.empty());  // progress_unit 0: nothing reported
}

TEST_F(ExtractionTest, ProgressCountsOpensAndWrittenBytesRoundingUp) {
  state.progress_unit = 100;
  extractor.SetStream(OpenMemoryStream(Records({std::string(50, 'x'), "skip"})));
  extractor.ExtractFile("C:\\P\\a", 50);
  extractor.ExtractFile(std::nullopt, 4);  // discarded bytes are not counted
  EXPECT_EQ(state.progress_done, 8192u + 50u);
  EXPECT_EQ(progress.percents, (std::vector<int>{82, 83}));
}

// Cancel confirmed while a file is being written: the run ends within the file, once
// the chunk in hand is written, as cancelled (and is then taken back).
TEST_F(ExtractionTest, AStopRequestedEndsTheRunWithinTheFile) {
  state.progress_unit = 100;
  progress.stop_after = 2;  // the open, then the first chunk
  extractor.SetStream(OpenMemoryStream(Records({std::string(20000, 'x')})));
  EXPECT_EQ(testing::ExitCodeOf([&] { extractor.ExtractFile("C:\\P\\big", 20000); }), kExitCancelled);
  EXPECT_EQ(fs.files.at("C:\\P\\big").size(), kCopyChunk);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ExtractionTest, SizeMismatchNamesTheOrdinal) {
  extractor.SetStream(OpenMemoryStream(Records({"icon", "abcdef"})));
  extractor.ExtractFile("C:\\T\\icon", 4);
  EXPECT_EQ(FatalOf([&] { extractor.ExtractFile("C:\\P\\f.txt", 5); }),
            "File size does not match - file 1:C:\\P\\f.txt 5/6");
  // Found before the destination is made: nothing is left open for the clean-up.
  EXPECT_FALSE(fs.files.count("C:\\P\\f.txt"));
  EXPECT_EQ(fs.files.at("C:\\T\\icon"), "icon");
}

TEST_F(ExtractionTest, TruncatedStreamAndWriteErrors) {
  std::string stream = Records({"complete"});
  stream.resize(stream.size() - 3);
  extractor.SetStream(OpenMemoryStream(stream));
  EXPECT_EQ(FatalOf([&] { extractor.ExtractFile("C:\\P\\x", 8); }), "Installer is corrupt or truncated");
  extractor.SetStream(OpenMemoryStream("\x01\x00"));
  EXPECT_EQ(FatalOf([&] { extractor.ExtractFile("C:\\P\\x", 1); }), "Installer is corrupt or truncated");
  fs.write_limit = 3;
  extractor.SetStream(OpenMemoryStream(Records({"toolong"})));
  EXPECT_EQ(FatalOf([&] { extractor.ExtractFile("C:\\P\\w", 7); }),
            "Write error on C:\\P\\w\nThere is not enough space on the disk.");
}

TEST_F(ExtractionTest, LockedDestinationAsksAbortRetryOrIgnore) {
  fs.locked["C:\\P\\busy.dll"] = 2;
  host.answers = {box::kIdRetry, box::kIdRetry};
  extractor.SetStream(OpenMemoryStream(Records({"dll", "dll"})));
  extractor.ExtractFile("C:\\P\\busy.dll", 3);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].title, "Can't create file");
  EXPECT_EQ(host.boxes[0].text,
            "The file C:\\P\\busy.dll cannot be written to -\nclose any other applications that may be using it");
  EXPECT_EQ(host.boxes[0].style, 0x32u);
  EXPECT_EQ(fs.files.at("C:\\P\\busy.dll"), "dll");
  EXPECT_FALSE(state.restart_needed);

  // Ignore: the new file waits beside the held one for the restart, which puts it in place.
  fs.files["C:\\P\\busy.dll"] = "old";
  fs.locked["C:\\P\\busy.dll"] = 1;
  host.answers = {box::kIdIgnore};
  extractor.SetStream(OpenMemoryStream(Records({"new"})));
  extractor.ExtractFile("C:\\P\\busy.dll", 3);
  EXPECT_EQ(fs.files.at("C:\\P\\busy.dll"), "old");
  EXPECT_EQ(fs.files.at("C:\\P\\busy.dll.vr-new"), "new");
  EXPECT_EQ(fs.at_restart,
            (std::vector<std::pair<std::string, std::string>>{{"C:\\P\\busy.dll.vr-new", "C:\\P\\busy.dll"}}));
  EXPECT_TRUE(state.restart_needed);
  EXPECT_EQ(state.lists.installed_files.back(), "C:\\P\\busy.dll");
  EXPECT_EQ(progress.lines, (std::vector<std::string>{"File C:\\P\\busy.dll is in use: the new one is written as "
                                                      "C:\\P\\busy.dll.vr-new and takes its place when the computer "
                                                      "restarts"}));

  fs.locked["C:\\P\\busy.dll"] = 1;
  host.answers = {box::kIdAbort};
  extractor.SetStream(OpenMemoryStream(Records({"dll"})));
  EXPECT_EQ(FatalOf([&] { extractor.ExtractFile("C:\\P\\busy.dll", 3); }),
            "Can't create file: C:\\P\\busy.dll\nThe process cannot access the file because it is being used by "
            "another process.");
  // Not in use but denied (read-only, or no right to write): no question, the system's words.
  host.boxes.clear();
  fs.read_only.insert("C:\\P\\ro.dll");
  extractor.SetStream(OpenMemoryStream(Records({"dll"})));
  EXPECT_EQ(FatalOf([&] { extractor.ExtractFile("C:\\P\\ro.dll", 3); }),
            "Can't create file: C:\\P\\ro.dll\nAccess is denied.");
  EXPECT_EQ(host.boxes.size(), 1u);
}

TEST_F(ExtractionTest, CopyInstallFileCopiesExactlyTheSize) {
  fs.files["C:\\T\\setup.exe"] = std::string(30000, 's') + "PAYLOAD";
  extractor.CopyInstallFile("C:\\T\\setup.exe", "C:\\P\\setup.exe", 30000);
  EXPECT_EQ(fs.files.at("C:\\P\\setup.exe"), std::string(30000, 's'));
  EXPECT_EQ(state.lists.installed_files.back(), "C:\\P\\setup.exe");
  EXPECT_EQ(FatalOf([&] { extractor.CopyInstallFile("C:\\T\\setup.exe", "C:\\P\\s2", 40000); }),
            "short read on C:\\T\\setup.exe");
  EXPECT_EQ(FatalOf([&] { extractor.CopyInstallFile("C:\\T\\none", "C:\\P\\s3", 1); }),
            "Can't open file: C:\\T\\none\n" + fs.ErrorText(2));
  fs.folders.insert("C:\\P\\taken");
  EXPECT_EQ(FatalOf([&] { extractor.CopyInstallFile("C:\\T\\setup.exe", "C:\\P\\taken", 1); }),
            "Can't create file: C:\\P\\taken\n" + fs.ErrorText(kAccessDenied));
}

TEST_F(ExtractionTest, CreateFolderPathMakesParentsFirstAndRecordsThem) {
  EXPECT_TRUE(extractor.CreateFolderPath("C:\\P\\A\\B\\C"));
  EXPECT_EQ(state.lists.installed_folders, (std::vector<std::string>{"C:\\P\\A", "C:\\P\\A\\B", "C:\\P\\A\\B\\C"}));
  EXPECT_FALSE(extractor.CreateFolderPath("C:\\P\\A\\B\\C"));
  EXPECT_EQ(state.lists.installed_folders.size(), 3u);
  // A folder as administrators write it, with a trailing separator or forward slashes.
  EXPECT_TRUE(extractor.CreateFolderPath("C:/P/New/"));
  EXPECT_FALSE(extractor.CreateFolderPath("C:\\P\\New\\"));
  EXPECT_EQ(state.lists.installed_folders.back(), "C:\\P\\New");
  EXPECT_EQ(state.lists.installed_folders.size(), 4u);
  fs.files["C:\\P\\file"] = "";
  EXPECT_EQ(FatalOf([&] { extractor.CreateFolderPath("C:\\P\\file"); }),
            "Folder C:\\P\\file exists but is not a folder!");
  // Resolved, a path outside the installation is refused before anything is made or written.
  const std::size_t made = fs.folders.size();
  EXPECT_EQ(FatalOf([&] { extractor.CreateFolderPath("C:\\P\\A\\..\\..\\Evil"); }),
            "Refused to write C:\\P\\A\\..\\..\\Evil: it lies outside the installation");
  extractor.SetStream(OpenMemoryStream(Records({""})));
  EXPECT_EQ(FatalOf([&] { extractor.ExtractFile("C:\\P\\A\\..\\..\\evil.txt", 0); }),
            "Refused to write C:\\P\\A\\..\\..\\evil.txt: it lies outside the installation");
  EXPECT_EQ(FatalOf([&] { extractor.CopyInstallFile("C:\\P\\file", "C:\\P\\CON", 0); }),
            "Refused to write C:\\P\\CON: it lies outside the installation");
  EXPECT_EQ(fs.folders.size(), made);
  EXPECT_FALSE(fs.files.count("C:\\evil.txt") || fs.files.count("C:\\P\\CON"));
  // "D:\" is never cut to "D:": the drive itself cannot be made here.
  state.variables.SetVariable("InstDir", "D:\\X");
  EXPECT_EQ(FatalOf([&] { extractor.CreateFolderPath("D:\\X"); }), "Failed to create folder D:\\X");
}

}  // namespace
}  // namespace inst
