#include "core/support/messages.h"

#include <gtest/gtest.h>

#include "core/support/run_log.h"
#include "fake_host.h"
#include "memory_file_system.h"

namespace inst {
namespace {

using testing::FakeHost;
using testing::ProcessEnded;

class MessagesTest : public ::testing::Test {
 protected:
  MessagesTest() : vars(testing::NoEnvironment), messages(host, vars) {}
  FakeHost host;
  InstallerVariables vars;
  Messages messages;
};

TEST_F(MessagesTest, QuestionsUseTheirStylesAndReportTheAnswer) {
  host.answers = {box::kIdRetry, box::kIdCancel, box::kIdYes, box::kIdNo};
  EXPECT_TRUE(messages.AskRetryCancel("In use", "File %s", "a.txt"));
  EXPECT_FALSE(messages.AskRetryCancel("In use", "File %s", "a.txt"));
  EXPECT_TRUE(messages.AskYesNo("Cancel setup", "Setup is not complete;\nare you sure you want to quit?"));
  EXPECT_FALSE(messages.AskYesNo("Q", "%d", 2));
  ASSERT_EQ(host.boxes.size(), 4u);
  EXPECT_EQ(host.boxes[0].style, 0x35u);
  EXPECT_EQ(host.boxes[0].text, "File a.txt");
  EXPECT_EQ(host.boxes[2].style, 0x24u);
  EXPECT_EQ(host.boxes[2].title, "Cancel setup");
  EXPECT_TRUE(host.quits.empty());
}

TEST_F(MessagesTest, InfoAndMessageBoxes) {
  messages.ShowInfo("Done", "%s installed", "X");
  messages.ShowMessage("Nothing %s", "here");
  vars.SetFlag("SuppressMessages", true);
  messages.ShowMessage("silent");
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].style, 0x40u);
  EXPECT_EQ(host.boxes[0].title, "Done");
  EXPECT_EQ(host.boxes[1].title, "Error");
  EXPECT_EQ(host.boxes[1].style, 0x40u);
  EXPECT_EQ(host.boxes[1].text, "Nothing here");
}

TEST_F(MessagesTest, ShowErrorEndsOnlyAHeadlessRun) {
  messages.ShowError("Quickstart", "Could not locate quickstart guide:\n %s", "C:\\x.pdf");
  EXPECT_TRUE(host.quits.empty());
  vars.SetFlag("HeadlessInstall", true);
  EXPECT_THROW(
      {
        try {
          messages.ShowError("Read PDF", "Could not locate the \"%s\":\n %s", "Guide", "C:\\g.pdf");
        } catch (const ProcessEnded& end) {
          EXPECT_EQ(end.exit_code, 1);
          throw;
        }
      },
      ProcessEnded);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[1].style, 0x10u);
  EXPECT_EQ(host.boxes[1].text, "Could not locate the \"Guide\":\n C:\\g.pdf");
  EXPECT_EQ(host.quits, std::vector<int>{1});
}

TEST_F(MessagesTest, FatalErrorsShowTheirBoxQuitAndEndWithOne) {
  try {
    messages.FatalErrorCode(917);
  } catch (const ProcessEnded& end) {
    EXPECT_EQ(end.exit_code, 1);
  }
  try {
    messages.FatalError("Failed to create folder %s", "C:\\t\\vr1");
  } catch (const ProcessEnded& end) {
    EXPECT_EQ(end.exit_code, 1);
  }
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].title, "Fatal error");
  EXPECT_EQ(host.boxes[0].text, "Error 917");
  EXPECT_EQ(host.boxes[0].style, 0x10u);
  EXPECT_EQ(host.boxes[1].text, "Failed to create folder C:\\t\\vr1");
  EXPECT_EQ(host.quits, (std::vector<int>{1, 1}));
}

// Every box reaches the log with its answer; an unattended run shows none, writes it
// to standard error and answers by rule, so that a fatal error still ends with 1.
TEST(RunLogTest, BoxesAreLoggedAndUnattendedOnesAnsweredByRule) {
  FakeHost screen;
  InstallerVariables vars(testing::NoEnvironment);
  testing::MemoryFileSystem files;
  RunLog log([] { return std::string("12:00:00.000"); });
  log.Write("before the log is open");
  log.Open(files.OpenForWriting("C:\\run.log").file);
  LoggedMessageHost host(screen, log, vars);
  Messages messages(host, vars);

  screen.answers = {box::kIdRetry};
  EXPECT_TRUE(messages.AskRetryCancel("Can't create file", "The file %s\ncannot be written", "a.dll"));
  vars.SetFlag("Unattended", true);
  EXPECT_FALSE(messages.AskRetryCancel("Can't create file", "again"));
  EXPECT_FALSE(messages.AskYesNo("Install failed", "continue anyway?"));
  EXPECT_EQ(messages.AskAbortRetryIgnore("Can't delete file", "held"), box::kIdIgnore);
  EXPECT_EQ(messages.ShowInfo("Note", "n"), box::kIdOk);
  try {
    messages.FatalExit(kExitCancelled, "Installation terminated - please install %s", "the runtime");
    ADD_FAILURE() << "a fatal error returned";
  } catch (const ProcessEnded& ended) {
    EXPECT_EQ(ended.exit_code, 1602);
  }
  EXPECT_EQ(screen.boxes.size(), 1u);  // only the attended one was shown
  // The last line names the code's meaning, for the log's reader and the deployment tool's.
  EXPECT_EQ(screen.standard_error,
            "Can't create file: again\nInstall failed: continue anyway?\nCan't delete file: held\nNote: n\n"
            "Fatal error: Installation terminated - please install the runtime\nExit code 1602: cancelled\n");
  EXPECT_EQ(files.files.at("C:\\run.log"),
            "12:00:00.000  Message \"Can't create file\": The file a.dll\r\n    cannot be written\r\n"
            "12:00:00.000  Answer: Retry\r\n"
            "12:00:00.000  Message \"Can't create file\": again\r\n12:00:00.000  Answer: Cancel (unattended)\r\n"
            "12:00:00.000  Message \"Install failed\": continue anyway?\r\n12:00:00.000  Answer: No (unattended)\r\n"
            "12:00:00.000  Message \"Can't delete file\": held\r\n12:00:00.000  Answer: Ignore (unattended)\r\n"
            "12:00:00.000  Message \"Note\": n\r\n12:00:00.000  Answer: OK (unattended)\r\n"
            "12:00:00.000  Message \"Fatal error\": Installation terminated - please install the runtime\r\n"
            "12:00:00.000  Answer: OK (unattended)\r\n"
            "12:00:00.000  Exit code 1602: cancelled\r\n");

  // A log that can no longer be written is dropped; the run goes on.
  files.write_limit = 0;
  log.Write("lost");
  EXPECT_FALSE(log.IsOpen());
}

TEST(RunLogTest, TheLogFileFromTheCommandLine) {
  FakeHost host;
  InstallerVariables vars(testing::NoEnvironment);
  Messages messages(host, vars);
  testing::MemoryFileSystem files;
  files.folders = {"C:", "C:\\Work"};
  RunLog log([] { return std::string("t"); });
  OpenRunLog(log, files, messages, vars, "C:\\Work", {"", "--dir=C:\\P"});
  EXPECT_FALSE(log.IsOpen());  // none asked for

  vars.SetVariable("LogFile", "setup.log");  // relative: from where the run started
  OpenRunLog(log, files, messages, vars, "C:\\Work\\", {"", "--log=setup.log", "--dir=C:\\My Tools"});
  EXPECT_EQ(files.files.at("C:\\Work\\setup.log"), "t  Options: \"--log=setup.log\" \"--dir=C:\\My Tools\"\r\n");

  vars.SetVariable("LogFile", "C:\\Work");
  try {
    OpenRunLog(log, files, messages, vars, "C:\\", {});
    ADD_FAILURE() << "a log that cannot be created was accepted";
  } catch (const ProcessEnded& ended) {
    EXPECT_EQ(ended.exit_code, 1);
  }
  EXPECT_EQ(host.boxes.back().text, "Can't create the log file C:\\Work\n" + files.ErrorText(kAccessDenied));
}

}  // namespace
}  // namespace inst
