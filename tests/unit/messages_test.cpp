#include "core/support/messages.h"

#include <gtest/gtest.h>

#include "fake_host.h"

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

TEST_F(MessagesTest, LongMessagesAreCut) {
  const std::string path(5000, 'p');
  ::testing::internal::CaptureStderr();
  messages.ShowInfo("T", "%s", path.c_str());
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(host.boxes.at(0).text.size(), 4095u);
}

}  // namespace
}  // namespace inst
