#include "core/support/command_line.h"

#include <gtest/gtest.h>

#include "fake_host.h"

namespace inst {
namespace {

using Args = std::vector<std::string>;

Args Split(std::string_view text) {
  SplitCommandLineResult result = SplitCommandLine(text);
  EXPECT_FALSE(result.argument_too_long);
  return Args(result.arguments.begin() + 1, result.arguments.end());
}

TEST(SplitCommandLine, SeparatorsAndQuotes) {
  EXPECT_EQ(SplitCommandLine("").arguments, Args{""});
  EXPECT_EQ(Split("   "), Args{});
  EXPECT_EQ(Split("  a\tb\nc  \r\r"), (Args{"a", "b", "c"}));
  EXPECT_EQ(Split("\"a b\"z"), Args{"a bz"});
  EXPECT_EQ(Split("'say \"hi\"' x"), (Args{"say \"hi\"", "x"}));
  EXPECT_EQ(Split("\"it's\""), Args{"it's"});
  EXPECT_EQ(Split("--dir=\"C:\\Program Files\\X\" --remove"), (Args{"--dir=C:\\Program Files\\X", "--remove"}));
  EXPECT_EQ(Split("a \"\" b"), (Args{"a", "", "b"}));
  EXPECT_EQ(Split("\"unclosed rest  "), Args{"unclosed rest"});
  EXPECT_EQ(Split("back\\slash\\\"q r\""), Args{"back\\slash\\q r"});
}

TEST(SplitCommandLine, ArgumentLengthLimit) {
  const std::string longest(255, 'a');
  EXPECT_EQ(Split("x " + longest), (Args{"x", longest}));
  // Quotes do not count towards the limit; the characters inside them do.
  EXPECT_EQ(Split("\"" + longest + "\""), Args{longest});

  const SplitCommandLineResult too_long = SplitCommandLine("x " + std::string(256, 'a') + " y");
  EXPECT_TRUE(too_long.argument_too_long);
  // Megabytes of input are handled like any other too-long argument.
  EXPECT_TRUE(SplitCommandLine("\"" + std::string(5'000'000, ' ') + "\"").argument_too_long);
}

TEST(SplitCommandLine, KeepsMoreThanAHundredArguments) {
  std::string text;
  for (int i = 0; i < 250; ++i) {
    text += 'a';
    text += std::to_string(i);
    text += ' ';
  }
  const Args args = Split(text);
  ASSERT_EQ(args.size(), 250u);
  EXPECT_EQ(args[0], "a0");
  EXPECT_EQ(args[249], "a249");
}

class OptionsTest : public ::testing::Test {
 protected:
  OptionsTest() : vars(testing::NoEnvironment) {}
  void Apply(std::initializer_list<const char*> args) {
    for (const char* arg : args) ApplyArgument(arg, vars, excluded);
    DecideRunMode(vars);
  }
  InstallerVariables vars;
  std::vector<std::string> excluded;
};

TEST_F(OptionsTest, FolderAndLicenceMakeAHeadlessInstall) {
  Apply({"--dir=C:\\Tools", "--I agree to the terms of the licence"});
  EXPECT_EQ(vars.ValueOf("InstDir"), "C:\\Tools");
  EXPECT_TRUE(vars.TestFlag("LicenceAgreed"));
  EXPECT_TRUE(vars.TestFlag("HeadlessInstall"));
  EXPECT_TRUE(vars.TestFlag("Install"));
}

TEST_F(OptionsTest, HeadlessRemovals) {
  Apply({"--DIR=C:\\Tools", "--i AGREE to the terms of the licence", "--remove"});
  EXPECT_TRUE(vars.TestFlag("HeadlessInstall"));
  EXPECT_TRUE(vars.TestFlag("Remove"));
  EXPECT_EQ(vars.GetVariable("Install"), nullptr);

  InstallerVariables silently(testing::NoEnvironment);
  ApplyArgument("--REMOVE-silently", silently, excluded);
  DecideRunMode(silently);
  EXPECT_TRUE(silently.TestFlag("Remove"));
  EXPECT_TRUE(silently.TestFlag("HeadlessInstall"));
  EXPECT_EQ(silently.GetVariable("Install"), nullptr);
}

TEST_F(OptionsTest, LicenceAloneOrFolderAloneIsInteractive) {
  Apply({"--I agree to the terms of the licence"});
  EXPECT_FALSE(vars.TestFlag("HeadlessInstall"));
  InstallerVariables other(testing::NoEnvironment);
  ApplyArgument("--dir=", other, excluded);
  DecideRunMode(other);
  EXPECT_EQ(other.ValueOf("InstDir"), "");
  EXPECT_FALSE(other.TestFlag("HeadlessInstall"));
}

TEST_F(OptionsTest, UnattendedLogAndHelp) {
  Apply({"--UNATTENDED", "--Log=C:\\Logs\\a b.log", "/?"});
  EXPECT_TRUE(vars.TestFlag("Unattended"));
  EXPECT_EQ(vars.ValueOf("LogFile"), "C:\\Logs\\a b.log");
  EXPECT_TRUE(vars.TestFlag("ShowHelp"));
  EXPECT_FALSE(vars.TestFlag("HeadlessInstall"));  // unattended is not headless by itself
  InstallerVariables other(testing::NoEnvironment);
  ApplyArgument("--HELP", other, excluded);
  EXPECT_TRUE(other.TestFlag("ShowHelp"));
}

TEST_F(OptionsTest, UnknownAndNearMissOptionsAreIgnored) {
  const std::size_t before = vars.Count();
  Apply({"--dirx", "--dir", "--subinstallx", "--removex", "-remove", "plain", "--setTrue-", "--setVariable-Abc",
         "--setVariable-=v", "--setVariable-", "--log", "/help", "-?", "--unattendedx"});
  EXPECT_EQ(vars.Count(), before);
  EXPECT_TRUE(excluded.empty());
}

TEST_F(OptionsTest, SubInstallAndExclusions) {
  Apply({"--SubInstall", "--no-Examples", "--NO-examples", "--no-tessara", "--no-"});
  EXPECT_TRUE(vars.TestFlag("SubInstall"));
  EXPECT_EQ(excluded, (std::vector<std::string>{"Examples", "examples", "TESSARA", ""}));
}

TEST_F(OptionsTest, SetTrueAndSetVariable) {
  Apply({"--setTrue-Abc", "--SETVARIABLE-Name=d=e", "--setVariable-Empty=", "--setVariable-=x=y"});
  EXPECT_EQ(vars.ValueOf("Abc"), "yes");
  EXPECT_EQ(vars.ValueOf("Name"), "d=e");
  ASSERT_NE(vars.GetVariable("Empty"), nullptr);
  EXPECT_EQ(vars.ValueOf("Empty"), "");
  // The name must have a first character before its "=".
  EXPECT_EQ(vars.ValueOf("=x"), "y");
}

TEST_F(OptionsTest, LaterArgumentsOverrideEarlierOnes) {
  Apply({"--dir=A", "--dir=B", "--setVariable-X=1", "--setVariable-x=2"});
  EXPECT_EQ(vars.ValueOf("InstDir"), "B");
  EXPECT_EQ(vars.ValueOf("X"), "2");
}

}  // namespace
}  // namespace inst

namespace inst {
namespace {

TEST(SettleInstallFolderOption, NormalizesFullPathsAndRefusesTheRest) {
  testing::FakeHost host;
  InstallerVariables vars(testing::NoEnvironment);
  Messages messages(host, vars);
  auto settle = [&](const char* given) {
    vars.SetVariable("InstDir", given);
    SettleInstallFolderOption(vars, messages);
    return vars.ValueOf("InstDir");
  };
  EXPECT_EQ(settle("D:/Tools/"), "D:\\Tools");
  EXPECT_EQ(settle("D:\\Tools\\\\"), "D:\\Tools");
  EXPECT_EQ(settle("C:\\"), "C:\\");
  EXPECT_EQ(settle("\\\\server\\share\\x\\"), "\\\\server\\share\\x");
  EXPECT_EQ(settle("DEFAULT"), "DEFAULT");
  for (const char* given : {"", "Tools", "C:Tools", "\\Tools"}) {
    EXPECT_THROW(settle(given), testing::ProcessEnded) << given;
    EXPECT_EQ(host.boxes.back().text,
              std::string("The installation folder given with --dir= must be a full path, such as "
                          "--dir=C:\\Tools\n(given: \"") +
                  given + "\")");
  }
}

}  // namespace
}  // namespace inst
