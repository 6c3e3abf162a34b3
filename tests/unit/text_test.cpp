#include "core/support/text.h"

#include <gtest/gtest.h>

#include "core/support/os_class.h"

namespace inst {
namespace {

TEST(Text, CaseInsensitiveComparisons) {
  EXPECT_TRUE(EqualsIgnoreCase("InstDir", "INSTDIR"));
  EXPECT_FALSE(EqualsIgnoreCase("InstDir", "InstDi"));
  EXPECT_TRUE(StartsWithIgnoreCase("--DIR=x", "--dir="));
  EXPECT_FALSE(StartsWithIgnoreCase("--di", "--dir="));
  LessIgnoreCase less;
  EXPECT_FALSE(less("abc", "ABC"));
  EXPECT_FALSE(less("ABC", "abc"));
  EXPECT_TRUE(less("abc", "ABD"));
  std::string text = "MiXeD 123";
  EXPECT_EQ(LowerCase(text), "mixed 123");
}

TEST(Text, FormatTextCutsAt4095AndReportsOnce) {
  const std::string long_text(5000, 'x');
  ::testing::internal::CaptureStderr();
  const std::string formatted = FormatText("%s", long_text.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "buffer overflow in vsnprintf");
  EXPECT_EQ(formatted, std::string(4095, 'x'));

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(FormatText("Error %d", 917), "Error 917");
  EXPECT_EQ(FormatText("%s", std::string(4095, 'y').c_str()).size(), 4095u);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(Text, WrapTextBreaksAtSpacesAfterLineLength) {
  EXPECT_EQ(WrapText("aaaa bbbbbbbb cc dd", 10), "aaaa bbbbbbbb\ncc dd");
  // A line feed already in the text counts as an ordinary character.
  EXPECT_EQ(WrapText("ab\ncd ef", 4), "ab\ncd\nef");
  EXPECT_EQ(WrapText("", 3), "");
}

TEST(Text, JoinPathDropsOneBackslashEachSide) {
  EXPECT_EQ(JoinPath("C:\\Tools\\", "\\bin"), "C:\\Tools\\bin");
  EXPECT_EQ(JoinPath("C:\\Tools", "bin"), "C:\\Tools\\bin");
  EXPECT_EQ(JoinPath("C:\\Tools\\\\", "bin"), "C:\\Tools\\\\bin");
  EXPECT_EQ(JoinPath("C:", ""), "C:\\");
  EXPECT_EQ(JoinPath("C:\\", "bin"), "C:\\bin");
  EXPECT_EQ(JoinPath("", "bin"), "bin");
}

TEST(Text, FoldersWithin) {
  EXPECT_TRUE(IsWithinFolder("C:\\P\\bin\\a.exe", "c:\\p"));
  EXPECT_TRUE(IsWithinFolder("C:\\P", "C:\\P\\"));
  EXPECT_FALSE(IsWithinFolder("C:\\Program\\a.exe", "C:\\P"));
  EXPECT_FALSE(IsWithinFolder("C:\\victim.txt", "C:\\P"));
  EXPECT_TRUE(IsWithinFolder("D:\\x", "D:\\"));
  EXPECT_FALSE(IsWithinFolder("C:\\x", ""));
}

TEST(Text, BaseNameAndParentFolder) {
  EXPECT_EQ(ParentFolder("C:\\P\\bin\\a.exe"), "C:\\P\\bin");
  EXPECT_EQ(ParentFolder("C:\\a"), "C:");
  EXPECT_EQ(ParentFolder("a/b"), std::nullopt);  // only "\\" separates here
  EXPECT_EQ(BaseName("C:\\dir/x.txt"), "dir/x.txt");
  EXPECT_EQ(BaseName("a/b"), "b");
  EXPECT_EQ(BaseName("C:x"), "x");
  EXPECT_EQ(BaseName("name"), "name");
  EXPECT_EQ(BaseName("dir\\"), "");
}

TEST(Text, NextTokenWalksTokensAndSkipsDelimiterRuns) {
  std::string_view rest = ",,a,b;;c,";
  EXPECT_EQ(NextToken(rest, ",;"), "a");
  EXPECT_EQ(NextToken(rest, ",;"), "b");
  EXPECT_EQ(NextToken(rest, ",;"), "c");
  EXPECT_EQ(NextToken(rest, ",;"), std::nullopt);
  EXPECT_EQ(NextToken(rest, ",;"), std::nullopt);
  std::string_view only = ",,,";
  EXPECT_EQ(NextToken(only, ","), std::nullopt);
  std::string_view last = "x";
  EXPECT_EQ(NextToken(last, ","), "x");
  EXPECT_TRUE(last.empty());
}

TEST(OsClass, VersionsMapToTheirBits) {
  using namespace os_class;
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Windows9x, 4, 0), kAlways | kWin9xFamily | kWin95);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Windows9x, 4, 10), kAlways | kWin9xFamily | kWin98);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Windows9x, 4, 90), kAlways | kWin9xFamily | kWinMe);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Win32s, 3, 1), kAlways);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Nt, 5, 0), kAlways | kNtFamily | kWin2000);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Nt, 5, 1), kAlways | kNtFamily | kWinXp);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Nt, 5, 2), kAlways | kNtFamily | kWin2000);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Nt, 5, 3), kAlways | kNtFamily | kNt);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Nt, 4, 0), kAlways | kNtFamily | kNt);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Nt, 6, 1), kAlways | kNtFamily | kVista);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Nt, 7, 0), kAlways | kNtFamily | kWin7);
  EXPECT_EQ(OsClassFromVersion(OsPlatform::Nt, 10, 0), kAlways | kNtFamily | kNt);
}

}  // namespace
}  // namespace inst
