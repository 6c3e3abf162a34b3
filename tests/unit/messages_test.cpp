#include "core/support/messages.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/support/run_log.h"
#include "fake_host.h"
#include "memory_file_system.h"

namespace inst {
namespace {

using testing::FakeHost;

class MessagesTest : public ::testing::Test {
 protected:
  MessagesTest() : vars(testing::NoEnvironment), messages(host, vars) {}
  FakeHost host;
  InstallerVariables vars;
  Messages messages;
};

// Each kind of box with its style; an error ends only a headless run, a fatal error every run, with 1.
TEST_F(MessagesTest, EachBoxHasItsStyleAndEndsTheRunAsItsKindDoes) {
  host.answers = {box::kIdRetry, box::kIdCancel, box::kIdYes, box::kIdNo};
  EXPECT_TRUE(messages.AskRetryCancel("In use", "File %s", "a.txt"));
  EXPECT_FALSE(messages.AskRetryCancel("In use", "File %s", "a.txt"));
  EXPECT_TRUE(messages.AskYesNo("Cancel setup", "Setup is not complete;\nare you sure you want to quit?"));
  EXPECT_FALSE(messages.AskYesNo("Q", "%d", 2));
  messages.ShowInfo("Done", "%s installed", "X");
  messages.ShowMessage("Nothing %s", "here");
  messages.ShowError("Quickstart", "Could not locate quickstart guide:\n %s", "C:\\x.pdf");
  EXPECT_TRUE(host.quits.empty());
  vars.SetFlag("SuppressMessages", true);
  messages.ShowMessage("silent");
  vars.SetFlag("HeadlessInstall", true);
  EXPECT_EQ(testing::ExitCodeOf([&] { messages.ShowError("Read PDF", "Could not locate the \"%s\"", "Guide"); }), 1);
  EXPECT_EQ(testing::ExitCodeOf([&] { messages.FatalErrorCode(917); }), 1);
  EXPECT_EQ(testing::ExitCodeOf([&] { messages.FatalError("Failed to create folder %s", "C:\\t\\vr1"); }), 1);
  const std::vector<std::tuple<std::string, std::string, unsigned>> expected = {
      {"In use", "File a.txt", 0x35u},
      {"In use", "File a.txt", 0x35u},
      {"Cancel setup", "Setup is not complete;\nare you sure you want to quit?", 0x24u},
      {"Q", "2", 0x24u},
      {"Done", "X installed", 0x40u},
      {"Error", "Nothing here", 0x40u},
      {"Quickstart", "Could not locate quickstart guide:\n C:\\x.pdf", 0x10u},
      {"Read PDF", "Could not locate the \"Guide\"", 0x10u},
      {"Fatal error", "Error 917", 0x10u},
      {"Fatal error", "Failed to create folder C:\\t\\vr1", 0x10u}};
  std::vector<std::tuple<std::string, std::string, unsigned>> shown;
  for (const auto& box : host.boxes) shown.emplace_back(box.title, box.text, box.style);
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(host.quits, (std::vector<int>{1, 1, 1}));
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
  EXPECT_EQ(testing::ExitCodeOf([&] {
              messages.FatalExit(kExitCancelled, "Installation terminated - please install %s", "the runtime");
            }),
            1602);
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
  EXPECT_EQ(testing::ExitCodeOf([&] { OpenRunLog(log, files, messages, vars, "C:\\", {}); }), 1);
  EXPECT_EQ(host.boxes.back().text, "Can't create the log file C:\\Work\n" + files.ErrorText(kAccessDenied));
}

}  // namespace
}  // namespace inst
