// The builder and the container reader together: installers built from a small
// product are read back by the same code setup.exe runs.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "build.h"
#include "installer_report.h"
#include "core/payload/container.h"
#include "core/payload/payload_reader.h"
#include "core/wizard/ui_texts.h"
#include "fake_host.h"
#include "tool_error.h"

namespace inst {
namespace {

namespace fs = std::filesystem;
using mkinstaller::BuildInstaller;
using mkinstaller::BuildOptions;
using mkinstaller::ToolError;
using testing::FakeHost;
using testing::ProcessEnded;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// The headers of a Windows program with one section that ends with the file, then
// a pattern (the signature bytes among it).
std::string FakeWindowsProgram(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0x200; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  bytes[0] = 'M';
  bytes[1] = 'Z';
  put32(0x3C, 0x80);
  bytes.replace(0x80, 4, std::string("PE\0\0", 4));
  bytes[0x86] = 1;  // one section; no optional header
  put32(0x98 + 16, static_cast<std::uint32_t>(size - 0x200));
  put32(0x98 + 20, 0x200);
  return bytes;
}

class BuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mkinstaller-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    WriteAll(dir / "stub.exe", FakeWindowsProgram(30000));
    WriteAll(dir / "src" / "licence.txt", "Licence text\n");
    WriteAll(dir / "root" / "bin" / "tool.exe", std::string(5000, 't'));
    WriteAll(dir / "root" / "docs" / "empty.txt", "");
    WriteAll(dir / "root" / "top.txt", "top");
    Manifest(
        "[Resources]\nLICENCE=licence.txt\n[Variables]\nProduct=P\nVersion=1.0\n"
        "[Features]\nFeature=Main\nbin/\ntool.exe\ndocs/\nempty.txt\t0\n/\ntop.txt\n[Components]\nComponent=Base\n"
        "Main\n[Run]\n");
    options.stub = dir / "stub.exe";
    options.manifest = dir / "src" / "manifest.txt";
    options.root = dir / "root";
    options.output = dir / "out.exe";
  }
  void TearDown() override { fs::remove_all(dir); }
  void Manifest(const std::string& text) { WriteAll(dir / "src" / "manifest.txt", text); }
  std::string BuildError() {
    try {
      BuildInstaller(options);
    } catch (const ToolError& error) {
      EXPECT_FALSE(fs::exists(options.output)) << "a failed build left its output";
      EXPECT_FALSE(fs::exists(dir / "out.exe.partial"));
      return error.what();
    }
    return "(built)";
  }
  // The fatal message setup.exe's container code gives for a file.
  std::string ReaderFatalOf(const std::string& bytes) {
    WriteAll(dir / "probe.exe", bytes);
    FdFile file = FdFile::OpenForReading((dir / "probe.exe").string());
    FakeHost host;
    InstallerVariables vars(testing::NoEnvironment);
    Messages messages(host, vars);
    try {
      const auto found = FindPayloadHeader(file);
      if (!found) return "(no header)";
      CheckPayloadDigest(file, found->header.setuplen, found->header.headersize, *NewMd5(), messages);
      if (!file.Seek(found->stream_start)) return "(seek failed)";
      auto stream = OpenGzipStream(file.fd());
      ReadPayloadManifest(*stream, messages);
    } catch (const ProcessEnded&) {
      return host.boxes.back().text;
    }
    return "(accepted)";
  }

  fs::path dir;
  BuildOptions options;
};

TEST_F(BuilderTest, LayoutIsReadBackByTheInstallerCode) {
  BuildInstaller(options);
  const std::string out = ReadAll(options.output);
  EXPECT_EQ(out.substr(0, 30000), ReadAll(options.stub));
  EXPECT_EQ(out.substr(30000, container::kFirstPayloadOffset - 30000),
            std::string(container::kFirstPayloadOffset - 30000, '\0'));

  FdFile file = FdFile::OpenForReading(options.output.string());
  const auto found = FindPayloadHeader(file);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->offset, container::kFirstPayloadOffset);
  EXPECT_EQ(found->header.stub_length, 30000u);
  EXPECT_EQ(found->header.headersize, 1024u);
  EXPECT_EQ(found->header.headersize + found->header.setuplen + 16, out.size());

  FakeHost host;
  InstallerVariables vars(testing::NoEnvironment);
  Messages messages(host, vars);
  CheckPayloadDigest(file, found->header.setuplen, found->header.headersize, *NewMd5(), messages);
  EXPECT_EQ(ReadManifestSignature(file, messages), "030A11181F262D343B424950575E656C");
  ASSERT_TRUE(file.Seek(found->stream_start));
  auto stream = OpenGzipStream(file.fd());
  const std::string manifest = ReadPayloadManifest(*stream, messages);
  EXPECT_EQ(manifest,
            "030A11181F262D343B424950575E656C\r\n[Resources]\r\nLICENCE=licence.txt\t13\r\n[Variables]\r\nProduct=P\r\n"
            "Version=1.0\r\n[Features]\r\nFeature=Main\r\nbin/\r\ntool.exe\t5000\r\ndocs/\r\nempty.txt\t0\r\n/\r\n"
            "top.txt\t3\r\n[Components]\r\nComponent=Base\r\nMain\r\n[Run]\r\n");
  // Records in manifest order: the resource, then every file; nothing after them.
  for (std::uint32_t expected : {13u, 5000u, 0u, 3u}) {
    EXPECT_EQ(ReadStreamWord(*stream, messages), expected);
    std::string skip(expected, '\0');
    if (expected) {
      EXPECT_EQ(stream->Read(skip.data(), expected), static_cast<long>(expected));
    }
  }
  char extra;
  EXPECT_EQ(stream->Read(&extra, 1), 0);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(ReadReferral(options.output.string()), std::nullopt);
}

TEST_F(BuilderTest, OutputIsDeterministicAndCarriesTheReferral) {
  // Several compression blocks, compressed on one thread and on three.
  std::string tool;
  for (std::uint32_t i = 0; tool.size() < (5u << 20); ++i) tool += std::to_string(i * 2654435761u % 100003) + ",";
  WriteAll(dir / "root" / "bin" / "tool.exe", tool);
  options.threads = 1;
  BuildInstaller(options);
  const std::string first = ReadAll(options.output);
  options.threads = 3;
  BuildInstaller(options);
  EXPECT_EQ(ReadAll(options.output), first);

  // One gzip member whose trailer zlib accepts, and the installer reads the file back.
  FdFile file = FdFile::OpenForReading(options.output.string());
  const auto found = FindPayloadHeader(file);
  ASSERT_TRUE(found);
  const std::string member = first.substr(found->stream_start, first.size() - 16 - found->stream_start);
  z_stream check{};
  ASSERT_EQ(inflateInit2(&check, 16 + MAX_WBITS), Z_OK);
  std::string whole(8u << 20, '\0');
  check.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(member.data()));
  check.avail_in = static_cast<uInt>(member.size());
  check.next_out = reinterpret_cast<Bytef*>(whole.data());
  check.avail_out = static_cast<uInt>(whole.size());
  EXPECT_EQ(inflate(&check, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(check.avail_in, 0u);
  inflateEnd(&check);
  FakeHost host;
  InstallerVariables vars(testing::NoEnvironment);
  Messages messages(host, vars);
  ASSERT_TRUE(file.Seek(found->stream_start));
  auto stream = OpenGzipStream(file.fd());
  ReadPayloadManifest(*stream, messages);
  EXPECT_EQ(ReadStreamWord(*stream, messages), 13u);
  std::string licence(13, '\0');
  stream->Read(licence.data(), 13);
  EXPECT_EQ(ReadStreamWord(*stream, messages), tool.size());
  std::string read_back(tool.size(), '\0');
  EXPECT_EQ(stream->Read(read_back.data(), read_back.size()), static_cast<long>(tool.size()));
  EXPECT_TRUE(read_back == tool);
  options.referral = 12345;
  BuildInstaller(options);
  const std::string with_referral = ReadAll(options.output);
  EXPECT_EQ(with_referral.substr(with_referral.size() - 4), std::string("\x39\x30\xc6\xcf", 4));
  EXPECT_EQ(ReadReferral(options.output.string()), 12345);
  EXPECT_EQ(with_referral.substr(0, first.size()), first);
}

TEST_F(BuilderTest, ContainerFaultsGiveTheInstallerMessages) {
  BuildInstaller(options);
  const std::string good = ReadAll(options.output);
  // Verified without its stub, a payload behind a program Windows would not start is no installer.
  std::string not_a_program = good;
  not_a_program[0] = 'X';
  WriteAll(dir / "not-a-program.exe", not_a_program);
  try {
    mkinstaller::VerifyInstaller(dir / "not-a-program.exe", std::nullopt);
    ADD_FAILURE() << "verified";
  } catch (const ToolError& error) {
    EXPECT_EQ(std::string(error.what()), (dir / "not-a-program.exe").string() +
                                             ": not a Windows program; an installer starts with setup.exe as built");
  }
  EXPECT_EQ(ReaderFatalOf(good), "(accepted)");
  std::string headers = good;
  headers[100] ^= 0x55;  // the executable's headers are not digested
  EXPECT_EQ(ReaderFatalOf(headers), "(accepted)");
  for (std::size_t at :
       {std::size_t{1024}, std::size_t{29999}, good.size() / 2 + 100000, good.size() - 17, good.size() - 1}) {
    std::string flipped = good;
    flipped[at] ^= 0x01;
    EXPECT_EQ(ReaderFatalOf(flipped), "Installer is corrupt or truncated") << "byte " << at;
  }
  const std::size_t stretch_end = good.size() - 16;
  // Cut 10 bytes short, the last read of the stretch comes back short; the message
  // counts what was still to be read before it.
  const std::size_t setuplen = stretch_end - 1024;
  const std::size_t last_read = setuplen % 16384 ? setuplen % 16384 : 16384;
  EXPECT_EQ(ReaderFatalOf(good.substr(0, stretch_end - 10)),
            "Can't read entire filecheck: " + std::to_string(last_read));
  const std::size_t cut = container::kFirstPayloadOffset + 25;  // just inside the gzip member
  const std::size_t full_reads = (cut - 1024) / 16384;
  EXPECT_EQ(ReaderFatalOf(good.substr(0, cut)),
            "Can't read entire filecheck: " + std::to_string(setuplen - 16384 * full_reads));
  EXPECT_EQ(ReaderFatalOf(good.substr(0, stretch_end)), "Can't read filecheck: 0");
  EXPECT_EQ(ReaderFatalOf(good.substr(0, stretch_end + 5)), "Can't read filecheck: 5");
}

TEST_F(BuilderTest, ErrorsNameTheLineOrFileAndLeaveNoOutput) {
  const std::string source = (dir / "src" / "manifest.txt").string();
  const std::string version = "[Variables]\nVersion=1\n";
  const std::string components = "[Components]\nComponent=C\nMain\n";
  Manifest(version + "[Features]\nFeature=Main\nbin/\nmissing.exe\n" + components + "[Run]\n");
  EXPECT_EQ(BuildError(),
            source + ":6: file bin\\missing.exe not found (" + (dir / "root" / "bin" / "missing.exe").string() + ")");
  Manifest("[Resources]\nICON=none.ico\n" + version + "[Features]\nFeature=Main\n" + components + "[Run]\n");
  EXPECT_EQ(BuildError(), source + ":2: resource none.ico not found (" + (dir / "src" / "none.ico").string() + ")");
  Manifest("[Features]\nbin/\n[Run]\n");
  EXPECT_EQ(BuildError(), source + ":2: missing feature name before folder");
  Manifest("\n\n" + version +
           "[Features]\nFeature=Main\nbin/\ntool.exe\t4999\n[Components]\nComponent=C\nMain\n[Run]\n");
  EXPECT_EQ(BuildError(), source + ":8: size of bin\\tool.exe given as 4999, but the file holds 5000 bytes");
  for (const char* text : {"[Variables]\nA=1\n", ""}) {
    Manifest(text);
    EXPECT_EQ(BuildError(), source + (*text ? ": the manifest has no [Run] line" : ": the manifest is empty") +
                                "; a manifest ends with the line [Run], after its sections (see "
                                "samples/sample-product/manifest.txt)");
  }
  options.stub = dir / "src" / "licence.txt";
  EXPECT_EQ(BuildError(), options.stub.string() +
                              ": not a Windows program; the stub is setup.exe as built "
                              "(dist/win32/setup.exe)");
  WriteAll(dir / "small.exe", FakeWindowsProgram(20000));
  options.stub = dir / "small.exe";
  EXPECT_EQ(BuildError(), options.stub.string() + ": not an installer stub (20000 bytes)");
}

// What only the customer's machine would otherwise find out.
TEST_F(BuilderTest, RefusesWhatCannotInstall) {
  const std::string source = (dir / "src" / "manifest.txt").string();
  const std::string version = "[Variables]\nVersion=1\n";
  const std::pair<std::string, std::string> cases[] = {
      {"[Features]\nFeature=Main\nbin/\ntool.exe\n[Run]\n",
       ": the manifest sets no Version= in [Variables]; every installation would end in \"Bad call to SetVariable: "
       "FullVersion\""},
      {version + "SupportURL=http://x/?a=b\n[Run]\n",
       ":3: the value holds \"=\"; the installer keeps only the text before it (move such a text, a web address with a "
       "query say, to a file)"},
      {"\xEF\xBB\xBF" + version + "[Run]\n",
       ":1: the file starts with a UTF-8 byte-order mark; save it without one, in the Windows ANSI code page"},
      {version + "Description=Caf\xC3\xA9\n[Run]\n",
       ":3: UTF-8 text; the installer shows and creates names in the Windows ANSI code page: save the manifest in "
       "that code page (and name the files the same way)"},
      {version + "[Features]\nFeature=Main\nbin/\nsub\\tool.exe\n[Run]\n",
       ":6: Invalid manifest format: line 6: the name \"sub\\tool.exe\" names a folder; a folder line ends with \"/\" "
       "and its files follow it"},
      {version + "[Features]\nFeature=A\nRequires=B\nFeature=B\nRequires=A\n[Run]\n",
       ":5: Requires= loop: A -> B -> A; the installer could never install these features"},
      {"[Resources]\nVersion=licence.txt\n[Run]\n",
       ": the manifest sets no Version= in [Variables]; every installation would end in \"Bad call to SetVariable: "
       "FullVersion\""},
      {"[Resources]\nVersion=licence.txt\n" + version + "[Run]\n",
       ":2: the resource key Version is also a variable in [Variables]; give the resource a name of its own"},
      {version + "[Features]\nFeature=Self\nRequires=Self\n[Run]\n",
       ":5: Requires= loop: Self -> Self; the installer could never install these features"},
      {version + "[Features]\nFeature=Web\nInstaller=http://h/a.exe\nSHA256=abc\n[Run]\n",
       ": the SHA256= of http://h/a.exe is not 64 hex digits (\"abc\"); \"mkinstaller sha256 FILE\" prints the line"},
      {version + "[Features]\nFeature=Main\nbin/\ntool.exe\n[Run]\n",
       ": nothing to install: the manifest needs a [Features] and a [Components] section, or the installer ends with "
       "\"no files to copy\""},
      {version + "[Features]\nFeature=Main\nbin/\ntool.exe\nFeature=Other\nBIN/\nTOOL.EXE\n[Components]\nComponent=C\n"
                 "Main\n[Run]\n",
       ":9: BIN\\TOOL.EXE and bin\\tool.exe (line 6) differ only in letter case; on Windows they are one file, and the "
       "second would replace the first"},
  };
  for (const auto& [text, error] : cases) {
    Manifest(text);
    EXPECT_EQ(BuildError(), source + error) << text;
  }
}

TEST_F(BuilderTest, ALanguageOfTheWizardIsTakenOnlyWhole) {
  const std::string file = (dir / "src" / "it.txt").string();
  Manifest(
      "[Resources]\nUITEXTS_it=it.txt\n[Variables]\nVersion=1\n[Features]\nFeature=Main\nbin/\ntool.exe\n"
      "[Components]\nComponent=C\nMain\n[Run]\n");
  WriteAll(file, "CancelButton=Annulla\n");
  EXPECT_EQ(BuildError(), file + ": the key FatalErrorTitle is missing");
  WriteAll(file, "FatalErrorTitle=Errore irreversibil\xE8\n");
  EXPECT_EQ(BuildError(), file + ": not UTF-8 text; save the language file as UTF-8");
  fs::copy_file(fs::path(LANGUAGES_DIR) / "fr.txt", file, fs::copy_options::overwrite_existing);
  EXPECT_EQ(BuildError(), "(built)");
}

// Names an installer may not write (the rule itself is tested with the parser), what
// the product folder does not hold, and whatever is listed twice.
TEST_F(BuilderTest, RefusesNamesOutsideTheProductAndWhatIsListedTwice) {
  const std::string source = (dir / "src" / "manifest.txt").string();
  const std::string head = "[Variables]\nVersion=1\n[Features]\nFeature=Main\n";
  const std::string tail = "[Components]\nComponent=C\nMain\n[Run]\n";
  const std::string invalid = ": Invalid manifest format: line ";
  fs::create_directories(dir / "outside");
  WriteAll(dir / "outside" / "x", "secret");
  fs::create_symlink(dir / "outside" / "x", dir / "root" / "bin" / "link.exe");
  const std::pair<std::string, std::string> cases[] = {
      {head + "../outside/\nx\n" + tail, ":5" + invalid + "5: the name \"..\\outside\" leads outside its folder"},
      {head + "bin/../../x/\nx\n" + tail, ":5" + invalid + "5: the name \"bin\\..\\..\\x\" leads outside its folder"},
      {head + "/etc/\npasswd\n" + tail, ":5" + invalid + "5: the name \"\\etc\" leads outside its folder"},
      {head + "con/\nx\n" + tail, ":5" + invalid + "5: the name \"con\" is a device name Windows reserves"},
      {head + "bin/\nwhat?.exe\n" + tail,
       ":6" + invalid + "6: the name \"what?.exe\" holds a character Windows forbids in a name"},
      {head + "bin/\nlink.exe\n" + tail, ":6: bin\\link.exe is a link to " + (dir / "outside" / "x").string() +
                                             ", outside " + (dir / "root").string() + "; copy the file in instead"},
      {head + "bin/\ntool.exe\ntool.exe\n" + tail, ":7: bin\\tool.exe is listed twice (line 6)"},
      {head + "bin/\nbin/\n" + tail, ":6: the folder bin of feature Main is listed twice (line 5)"},
      {head + "Feature=main\n" + tail, ":5: the feature main is listed twice (line 4)"},
      {head + "[Components]\nComponent=C\nMain\nComponent=C\n[Run]\n", ":8: the component C is listed twice (line 6)"},
      {"[Resources]\nICON=licence.txt\nICON=licence.txt\n" + head + tail,
       ":3: the resource key ICON is listed twice (line 2)"},
      {"[Variables]\nVersion=1\nShortcutFolderName=..\\..\\Startup\n[Run]\n",
       ": Invalid manifest format: the Start-menu folder \"..\\..\\Startup\" leads outside its folder"},
  };
  for (const auto& [text, error] : cases) {
    Manifest(text);
    EXPECT_EQ(BuildError(), source + error) << text;
  }
}

// Lines the installer would take without a word but that cannot work.
TEST_F(BuilderTest, RefusesLinesThatCannotWork) {
  const std::string source = (dir / "src" / "manifest.txt").string();
  const std::string head = "[Variables]\nVersion=1\n[Features]\nFeature=Main\nbin/\ntool.exe\n";
  const std::string components = "[Components]\nComponent=C\nMain\n";
  const std::pair<std::string, std::string> cases[] = {
      {head + "[Registry]\nHKLN\\SOFTWARE\\A\\v=1\n" + components + "[Run]\n",
       ":8: unknown registry root \"HKLN\"; use HKLM, HKCU, HKCR, HKCC or HKPP"},
      {head + "[Components]\nComponent=C\nRequired=maybe\nMain\n[Run]\n", ":9: Required=maybe: the value is yes or no"},
      {head + components + "[Shortcuts]\nTool=bin\\tol.exe\n[Run]\n",
       ":11: the shortcut Tool points to bin\\tol.exe, which is neither a product file nor a resource "
       "(resources\\NAME), nor a full path"},
  };
  for (const auto& [text, error] : cases) {
    Manifest(text);
    EXPECT_EQ(BuildError(), source + error) << text;
  }
  // A product file or its folder, the installed copy, a resource, or a path outside.
  Manifest(head + components +
           "[Shortcuts]\nTool=%InstDir%\\bin\\tool.exe\nBin=bin\nRemove=resources\\setup.exe>--remove\n"
           "Shell=C:\\Windows\\notepad.exe\n[Run]\n");
  EXPECT_NO_THROW(BuildInstaller(options));
}

TEST(PackageManifest, IdentifiersAsThePackageManagerTakesThem) {
  for (const char* id : {"Voranth.DemoC", "A.B.C.D.E.F.G.H", "Voranth.Demo-C_2"})
    EXPECT_TRUE(mkinstaller::IsPackageIdentifier(id)) << id;
  for (const char* id : {"DemoC", "", ".DemoC", "Voranth.", "Voranth..DemoC", "Voranth.Demo C", "Voranth.Demo/C",
                         "A.B.C.D.E.F.G.H.I", "Voranth.DemoCDemoCDemoCDemoCDemoCDemoCDemoC"})
    EXPECT_FALSE(mkinstaller::IsPackageIdentifier(id)) << id;
}

// The build goes on; the vendor is told.
TEST_F(BuilderTest, AnUnpinnedPlainDownloadIsWarnedOf) {
  Manifest(
      "[Variables]\nVersion=1\n[Features]\nFeature=Web\nInstaller=ftp://h/a.exe\nAlternate=https://h/a.exe\n"
      "[Components]\nComponent=C\nWeb\n[Run]\n");
  ::testing::internal::CaptureStderr();
  BuildInstaller(options);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            (dir / "src" / "manifest.txt").string() +
                ": warning: ftp://h/a.exe is fetched without a SHA256= line; anyone on the way could hand over another "
                "program (\"mkinstaller sha256 FILE\" prints the line)\n");
}

TEST_F(BuilderTest, AStubThatAlreadyCarriesAPayloadOrAReferralWithASignatureIsRefused) {
  BuildInstaller(options);
  fs::rename(options.output, dir / "built.exe");
  options.stub = dir / "built.exe";
  EXPECT_EQ(BuildError(), options.stub.string() + ": already carries a payload; give the stub itself");
  WriteAll(dir / "signed.exe", FakeWindowsProgram(30000) + "SIGNATURE");
  options.stub = dir / "signed.exe";
  EXPECT_EQ(BuildError(), options.stub.string() +
                              ": carries 9 bytes after its program (a signature?); build from setup.exe as built, and "
                              "sign the finished installer with --sign");
  options.stub = dir / "built.exe";

  options.referral = 7;
  options.signing = mkinstaller::SigningOptions{dir / "cert.pem", dir / "key.pem"};
  EXPECT_EQ(BuildError(),
            "a referral number and a signature cannot both end the file: build signed installers without --referral");
}

TEST(Container, HeaderTrailerAndOffsets) {
  container::PayloadHeader header{460288, 27641367, 1024};
  const std::string bytes = container::EncodeHeader(header);
  ASSERT_EQ(bytes.size(), 20u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\xa3\xa2\xa1\xa0\x9f\x9e\x9d\x9c", 8));
  const auto decoded = container::DecodeHeader(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->stub_length, 460288u);
  EXPECT_EQ(decoded->setuplen, 27641367u);
  EXPECT_FALSE(container::DecodeHeader(bytes.substr(1)));
  EXPECT_EQ(container::PayloadOffsetFor(460288), 460800u);
  EXPECT_EQ(container::PayloadOffsetFor(460800), 460800u);
  EXPECT_EQ(container::PayloadOffsetFor(1000), 204800u);
  EXPECT_EQ(container::DecodeReferral(std::string("\x39\x30\xc6\xcf", 4)), 12345);
  EXPECT_EQ(container::DecodeReferral(std::string("\x39\x30\x00\x00", 4)), std::nullopt);
  EXPECT_EQ(container::EncodeReferral(0), std::string("\x00\x00\xff\xff", 4));
}

TEST(Container, OrderingDefaults) {
  InstallerVariables vars(testing::NoEnvironment);
  ApplyOrderingDefaults(vars, std::nullopt);
  EXPECT_EQ(vars.ValueOf("OrderingURL"), kDefaultOrderingUrl);
  ApplyOrderingDefaults(vars, 12345);
  EXPECT_EQ(vars.ValueOf("ReferralID"), "12345");
  EXPECT_EQ(vars.ValueOf("OrderingURL"), std::string(kDefaultOrderingUrl) + "?referrer=12345");
  InstallerVariables hidden(testing::NoEnvironment);
  hidden.SetFlag("HideOrderingURL", true);
  ApplyOrderingDefaults(hidden, std::nullopt);
  EXPECT_EQ(hidden.GetVariable("OrderingURL"), nullptr);
}

}  // namespace
}  // namespace inst
