#include "core/support/variables.h"

#include <gtest/gtest.h>

#include <map>

#include "fake_host.h"

namespace inst {
namespace {

using testing::FakeHost;
using testing::ProcessEnded;

class VariablesTest : public ::testing::Test {
 protected:
  VariablesTest() : vars(testing::NoEnvironment), messages(host, vars) {
    vars.SetFatalHandler([this](const std::string& text) { messages.FatalText(text); });
  }
  FakeHost host;
  InstallerVariables vars;
  Messages messages;
};

TEST_F(VariablesTest, NamesIgnoreCaseAndTakeTheLatestSpelling) {
  vars.SetVariable("InstDir", "C:\\Tools");
  ASSERT_NE(vars.GetVariable("instdir"), nullptr);
  EXPECT_EQ(*vars.GetVariable("INSTDIR"), "C:\\Tools");
  vars.SetVariable("INSTDIR", "D:\\x");
  EXPECT_EQ(vars.ValueOf("InstDir"), "D:\\x");
  vars.DeleteVariable("instDIR");
  EXPECT_EQ(vars.GetVariable("InstDir"), nullptr);
  vars.DeleteVariable("NeverSet");
  vars.SetVariable("Empty", "");
  ASSERT_NE(vars.GetVariable("Empty"), nullptr);
  EXPECT_EQ(*vars.GetVariable("Empty"), "");
}

TEST_F(VariablesTest, FullVersionFollowsVersionAndPatchLevel) {
  vars.SetVariable("Version", "9.63");
  EXPECT_EQ(vars.ValueOf("FullVersion"), "9.63");
  vars.SetVariable("PatchLevel", "PL3");
  EXPECT_EQ(vars.ValueOf("FullVersion"), "9.63PL3");
  vars.SetVariable("Version", "9.70");
  EXPECT_EQ(vars.ValueOf("FullVersion"), "9.70PL3");
  vars.SetVariable("PatchLevel", "pl0");
  EXPECT_EQ(vars.ValueOf("FullVersion"), "9.70");
}

TEST_F(VariablesTest, PatchLevelWithoutVersion) {
  vars.SetVariable("PatchLevel", "PL3");
  EXPECT_EQ(vars.ValueOf("FullVersion"), "PL3");
  EXPECT_EQ(testing::ExitCodeOf([&] { vars.SetVariable("PatchLevel", "PL0"); }), 1);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].title, "Fatal error");
  EXPECT_EQ(host.boxes[0].text, "Bad call to SetVariable: FullVersion");
  EXPECT_EQ(host.quits, std::vector<int>{1});
}

TEST_F(VariablesTest, ExpansionRules) {
  vars.SetVariable("Version", "9.63");
  vars.SetVariable("Ref", "[Version]");
  vars.SetVariable("a[b", "AB");
  vars.SetVariable("", "EMPTY-NAME");
  EXPECT_EQ(vars.ExpandVariables("[Absent]x"), "x");
  EXPECT_EQ(vars.ExpandVariables("a]b"), "a]b");
  EXPECT_EQ(vars.ExpandVariables("a[b"), "a");
  EXPECT_EQ(vars.ExpandVariables("V[Version]!"), "V9.63!");
  EXPECT_EQ(vars.ExpandVariables("[Ref]"), "[Version]");  // values are not expanded again
  EXPECT_EQ(vars.ExpandVariables("[a[b]z]"), "ABz]");
  EXPECT_EQ(vars.ExpandVariables("[]"), "EMPTY-NAME");
  EXPECT_EQ(vars.ExpandVariables(""), "");
}

TEST_F(VariablesTest, ExpansionLimits) {
  EXPECT_EQ(vars.ExpandVariables(std::string(9000, 'c')), std::string(8191, 'c'));

  // 300 characters of room left: a 500-character value is left out whole, the
  // literal text behind it still goes in while room remains.
  vars.SetVariable("Big", std::string(500, 'v'));
  const std::string text = std::string(8191 - 300, 'p') + "[Big]" + std::string(400, 't');
  EXPECT_EQ(vars.ExpandVariables(text), std::string(8191 - 300, 'p') + std::string(300, 't'));
  // A value must be shorter than the room left.
  vars.SetVariable("Fits", std::string(299, 'f'));
  EXPECT_EQ(vars.ExpandVariables(std::string(8191 - 300, 'p') + "[Fits]").size(), 8191u - 1);
  vars.SetVariable("Exact", std::string(300, 'e'));
  EXPECT_EQ(vars.ExpandVariables(std::string(8191 - 300, 'p') + "[Exact]").size(), 8191u - 300);

  const std::string name254(254, 'n'), name255(255, 'm');
  vars.SetVariable(name254, "found");
  vars.SetVariable(name255, "never");
  EXPECT_EQ(vars.ExpandVariables("[" + name254 + "]"), "found");
  EXPECT_EQ(vars.ExpandVariables("<[" + name255 + "]>"), "<>");
}

TEST_F(VariablesTest, FlagsAndEquality) {
  vars.SetFlag("On", true);
  vars.SetFlag("Off", false);
  EXPECT_EQ(vars.ValueOf("On"), "yes");
  EXPECT_EQ(vars.ValueOf("Off"), "no");
  for (const char* truthy : {"YES", "True", "yes", "tRUE"}) {
    vars.SetVariable("F", truthy);
    EXPECT_TRUE(vars.TestFlag("F")) << truthy;
  }
  for (const char* falsy : {"1", "on", "no", "", "yess"}) {
    vars.SetVariable("F", falsy);
    EXPECT_FALSE(vars.TestFlag("F")) << falsy;
  }
  EXPECT_FALSE(vars.TestFlag("Absent"));
  vars.SetVariable("Edition", "Pro");
  EXPECT_TRUE(vars.VariableEquals("edition", "PRO"));
  EXPECT_FALSE(vars.VariableEquals("Edition", "Pr"));
  EXPECT_FALSE(vars.VariableEquals("Absent", ""));
}

TEST_F(VariablesTest, VersionBaseIsTakenOnce) {
  EXPECT_EQ(vars.VersionBase(), "");  // without a Version the base is empty...
  vars.SetVariable("Version", "9.63PL3");
  EXPECT_EQ(vars.VersionBase(), "9.63");  // ...and is taken again once one exists
  vars.SetVariable("Version", "10.0");
  EXPECT_EQ(vars.VersionBase(), "9.63");
}

TEST(VariablesDefaults, ProgramFilesFromTheEnvironment) {
  std::map<std::string, std::string> env;
  auto lookup = [&env](const std::string& name) -> std::optional<std::string> {
    const auto it = env.find(name);
    if (it == env.end()) return std::nullopt;
    return it->second;
  };
  EXPECT_EQ(InstallerVariables(lookup).ValueOf("ProgramFiles"), "C:\\Program Files");
  env["SystemDrive"] = "E:";
  env["ProgramFiles"] = "";
  EXPECT_EQ(InstallerVariables(lookup).ValueOf("ProgramFiles"), "E:\\Program Files");
  env["SystemDrive"] = "5:";
  EXPECT_EQ(InstallerVariables(lookup).ValueOf("ProgramFiles"), "C:\\Program Files");
  env["SystemDrive"] = "E";
  EXPECT_EQ(InstallerVariables(lookup).ValueOf("ProgramFiles"), "C:\\Program Files");
  env["ProgramFiles"] = "D:\\Programs";
  EXPECT_EQ(InstallerVariables(lookup).ValueOf("programfiles"), "D:\\Programs");
}

}  // namespace
}  // namespace inst
