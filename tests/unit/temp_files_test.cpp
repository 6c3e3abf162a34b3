#include "core/support/temp_files.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/payload/installed_copy.h"
#include "memory_file_system.h"

namespace inst {
namespace {

class MapEnvironment final : public Environment {
 public:
  std::optional<std::string> Get(const std::string& name) override {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::string, std::string> values;
};

using testing::MemoryFileSystem;

TEST(TempFolder, BaseFollowsTempTmpWindir) {
  MapEnvironment env;
  EXPECT_EQ(TempFolderBase(env), "C:");
  env.values["windir"] = "C:\\WINDOWS";
  EXPECT_EQ(TempFolderBase(env), "C:\\WINDOWS\\temp");
  env.values["TMP"] = "D:\\tmp";
  EXPECT_EQ(TempFolderBase(env), "D:\\tmp");
  env.values["TEMP"] = "E:\\temp";
  EXPECT_EQ(TempFolderBase(env), "E:\\temp");
}

// An elevated run's folder: nothing inherited from TEMP, and only the system and
// the administrators may use it (on Windows; Wine keeps no access lists).
TEST(TempFolder, AnElevatedRunsFolderIsTheAdministratorsAlone) {
  const std::string descriptor = kTempFolderAccess;
  ASSERT_EQ(descriptor.rfind("D:P(", 0), 0u);
  std::set<std::string> trustees;
  for (std::size_t open = descriptor.find('('); open != std::string::npos; open = descriptor.find('(', open + 1)) {
    const std::string entry = descriptor.substr(open + 1, descriptor.find(')', open) - open - 1);
    std::vector<std::string> fields;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
      end = entry.find(';', start);
      fields.push_back(entry.substr(start, end - start));
    }
    ASSERT_EQ(fields.size(), 6u) << entry;
    EXPECT_EQ(fields[0], "A") << entry;  // allowed, never a denial to be got round
    trustees.insert(fields[5]);
  }
  EXPECT_EQ(trustees, (std::set<std::string>{"BA", "SY"}));
  EXPECT_EQ(TempFolderName("T", 0x1005), "T\\vr5");
  EXPECT_EQ(TempFolderName("T", 4095), "T\\vr4095");
}

TEST(TempFolder, DeleteTempFilesWalksBackwards) {
  MemoryFileSystem fs;
  fs.folders = {"T", "T\\vr1", "T\\vr1\\sub"};
  fs.files = {{"T\\vr1\\a.bmp", ""}, {"T\\vr1\\sub\\b.txt", ""}};
  // Listed in the order they were made: the folder first, so it is removed last.
  const std::vector<std::string> temp_list = {"T\\vr1", "T\\vr1\\sub", "T\\vr1\\sub\\b.txt", "T\\vr1\\a.bmp",
                                              "T\\vr1\\gone.txt"};
  DeleteTempFiles(temp_list, fs);
  EXPECT_TRUE(fs.files.empty());
  EXPECT_EQ(fs.folders, std::set<std::string>{"T"});
  DeleteTempFiles(temp_list, fs);  // a second walk finds nothing and fails quietly
}

TEST(InstalledCopy, SignatureAndFirstLine) {
  const std::string bytes = {'\x00', '\x0f', '\xa3', '\xff', 'A',    '\x10', '\x01', '\x02',
                             '\x03', '\x04', '\x05', '\x06', '\x07', '\x08', '\x09', '\x7f'};
  EXPECT_EQ(FormatManifestSignature(bytes),
            "000FA3FF4110010203040506070809"
            "7F");
  EXPECT_EQ(FirstManifestLine("ABC\r\n[Variables]\n"), "ABC");
  EXPECT_EQ(FirstManifestLine("ABC\n\r\nx"), "ABC");
  EXPECT_EQ(FirstManifestLine("ABC"), "ABC");
  EXPECT_EQ(FirstManifestLine(""), "");
}

// Only this program's own names go, and only where no live run holds the folder.
TEST(TempFolder, StaleFoldersOfKilledRunsAreRemovedWithTheirContent) {
  MemoryFileSystem fs;
  fs.folders = {"T", "T\\vr12", "T\\vr12\\dl", "T\\vr13", "T\\vrx", "T\\vr12345", "T\\other"};
  fs.files = {
      {"T\\vr12\\icon.ico", ""}, {"T\\vr12\\dl\\tool.exe", ""}, {"T\\vr13\\icon.ico", ""}, {"T\\vr14", "a file"}};
  EXPECT_EQ(RemoveStaleTempFolders(fs, "T", [](const std::string& folder) { return folder == "T\\vr13"; }), 1);
  EXPECT_EQ(fs.folders, (std::set<std::string>{"T", "T\\vr13", "T\\vrx", "T\\vr12345", "T\\other"}));
  EXPECT_EQ(fs.files.size(), 2u);
}

TEST(InstalledCopy, InstallationFolderFromTheResourcesFolder) {
  EXPECT_EQ(InstallationFolderOfCopy("C:\\Prog\\X\\resources\\setup.exe"), "C:\\Prog\\X");
  EXPECT_EQ(InstallationFolderOfCopy("C:\\Prog\\X\\RESOURCES\\setup.exe"), "C:\\Prog\\X");
  EXPECT_EQ(InstallationFolderOfCopy("C:\\Prog\\X\\setup.exe"), std::nullopt);
  EXPECT_EQ(InstallationFolderOfCopy("C:\\Prog\\myresources\\setup.exe"), std::nullopt);
  EXPECT_EQ(InstallationFolderOfCopy("C:\\resources\\setup.exe"), "C:");
  EXPECT_EQ(InstallationFolderOfCopy("setup.exe"), std::nullopt);
}

}  // namespace
}  // namespace inst
