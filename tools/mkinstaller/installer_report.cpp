#include "installer_report.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "build.h"
#include "signing.h"

#include "core/payload/fd_file.h"
#include "core/payload/installed_copy.h"
#include "core/install/installer_state.h"
#include "core/manifest/manifest_parser.h"
#include "core/payload/payload_reader.h"
#include "core/install/vendor_tools.h"
#include "core/support/exit_codes.h"
#include "core/support/text.h"
#include "source_manifest.h"
#include "tool_error.h"

namespace mkinstaller {

namespace fs = std::filesystem;
namespace container = inst::container;

namespace {

struct Record {
  bool is_resource = false;
  std::string name;
  std::uint32_t manifest_size = 0;
  std::uint32_t payload_size = 0;
};

struct Examined {
  std::int64_t file_size = 0;
  inst::FoundPayload payload;
  std::string own_signature;
  std::string manifest;
  std::vector<Record> records;
  bool stream_ends_after_last_file = true;
  std::optional<std::uint16_t> referral;
  std::optional<std::string> signer;
  std::optional<std::string> copy_signer;  // of the installed copy it leaves
};

// Reads records past as the installer would, noting both sizes of each.
class RecordWalker final : public inst::ManifestHooks {
 public:
  RecordWalker(inst::PayloadStream& stream, inst::Messages& messages, std::vector<Record>& records)
      : stream_(stream), messages_(messages), records_(records) {}
  void OnResource(const std::string& key, const std::string& file, const std::string&,
                  std::optional<std::uint32_t> size, int) override {
    Take(true, key + "=" + file, size.value_or(0));
  }
  std::string ExpandEnvironment(const std::string& value) override { return value; }
  void OnVariablesEnd() override {}

  void Take(bool is_resource, const std::string& name, std::uint32_t manifest_size) {
    Record record{is_resource, name, manifest_size, inst::ReadStreamWord(stream_, messages_)};
    char chunk[65536];
    for (std::uint32_t left = record.payload_size; left > 0;) {
      const long got = stream_.Read(chunk, std::min<std::size_t>(left, sizeof chunk));
      if (got <= 0) messages_.InstallerCorrupt();
      left -= static_cast<std::uint32_t>(got);
    }
    records_.push_back(std::move(record));
  }

 private:
  inst::PayloadStream& stream_;
  inst::Messages& messages_;
  std::vector<Record>& records_;
};

std::string SignatureOf(const fs::path& path) {
  inst::FdFile file = inst::FdFile::OpenForReading(path.string());
  if (!file.is_open()) throw ToolError(path.string() + ": cannot open");
  std::string head(inst::kExecutableHeadBytes, '\0');
  const long got = file.Read(head.data(), head.size());
  head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  CheckStub(path, head, static_cast<std::uint64_t>(file.Size()));
  ToolContext context;
  return inst::ReadManifestSignature(file, context.messages);
}

Examined Examine(const fs::path& path) {
  Examined result;
  inst::FdFile file = inst::FdFile::OpenForReading(path.string());
  if (!file.is_open()) throw ToolError(path.string() + ": cannot open");
  result.file_size = file.Size();
  // Windows would not start it, whatever its payload holds.
  if (!inst::ExecutableImageEnd(inst::ReadExecutableHead(file)))
    throw ToolError(path.string() + ": not a Windows program; an installer starts with setup.exe as built");
  ToolContext context;
  inst::InstallerState& state = context.state;
  inst::Messages& messages = context.messages;

  const auto found = inst::FindPayloadHeader(file);
  if (!found) throw ToolError("no payload header at any 1024-byte boundary from 204800 on");
  result.payload = *found;
  const container::PayloadHeader& header = found->header;
  if (header.headersize != container::kHeaderSize) {
    throw ToolError("headersize is " + std::to_string(header.headersize) + ", not 1024");
  }
  if (header.stub_length > found->offset) {
    throw ToolError("stub length " + std::to_string(header.stub_length) + " runs past the payload header at " +
                    std::to_string(found->offset));
  }
  const std::int64_t digest_at = static_cast<std::int64_t>(header.headersize) + header.setuplen;
  if (digest_at <= found->stream_start) throw ToolError("setuplen ends before the gzip member begins");
  result.own_signature = inst::ReadManifestSignature(file, messages);
  const std::unique_ptr<inst::PayloadStream> stream =
      inst::OpenVerifiedPayload(file, *found, *inst::NewMd5(), messages, result.manifest);
  const std::string_view signature_line = inst::FirstManifestLine(result.manifest);
  if (signature_line != result.own_signature) {
    throw ToolError("manifest signature " + std::string(signature_line) + " does not match the stub's bytes " +
                    result.own_signature);
  }

  RecordWalker walker(*stream, messages, result.records);
  inst::ManifestParser parser(std::string_view(result.manifest).substr(signature_line.size()), state, messages, walker);
  try {
    parser.ParseManifest();
  } catch (const ToolError& error) {
    throw ToolError("manifest line " + std::to_string(parser.line_number()) + ": " + error.what());
  }
  inst::ForEachFileRecord(state.lists, [&](const inst::FolderRecord& folder, const inst::FileRecord& f) {
    walker.Take(false, inst::JoinPath(folder.path, f.name), f.size);
  });
  char extra;
  result.stream_ends_after_last_file = stream->Read(&extra, 1) == 0;
  result.referral = inst::ReadReferral(path.string());
  result.signer = SignerOf(file, static_cast<std::int64_t>(header.headersize) + header.setuplen + 16);
  result.copy_signer = CopySignerOf(file, header.stub_length);
  return result;
}

}  // namespace

int ListInstaller(const fs::path& installer) {
  const Examined info = Examine(installer);
  const auto& header = info.payload.header;
  std::printf("%s: %lld bytes; stub %u bytes; payload header at %lld; digest over %u bytes from %u: correct\n",
              installer.string().c_str(), static_cast<long long>(info.file_size), header.stub_length,
              static_cast<long long>(info.payload.offset), header.setuplen, header.headersize);
  if (info.referral) std::printf("referral number %u\n", *info.referral);
  std::printf("\nManifest (%zu bytes):\n", info.manifest.size());
  std::fwrite(info.manifest.data(), 1, info.manifest.size(), stdout);
  if (!info.manifest.empty() && info.manifest.back() != '\n') std::putchar('\n');
  std::uint64_t total = 0;
  std::size_t files = 0;
  for (bool resources : {true, false}) {
    std::printf("\n%s:\n", resources ? "Resources" : "Files");
    for (const Record& record : info.records) {
      if (record.is_resource != resources) continue;
      std::printf("%12u  %s\n", record.payload_size, record.name.c_str());
      if (!resources) {
        total += record.payload_size;
        ++files;
      }
    }
  }
  std::printf("\n%zu files, %llu bytes\n", files, static_cast<unsigned long long>(total));
  return 0;
}

int VerifyInstaller(const fs::path& installer, const std::optional<fs::path>& stub) {
  const Examined info = Examine(installer);
  if (stub) {
    const std::string expected = SignatureOf(*stub);
    if (expected != info.own_signature) {
      throw ToolError("built for another stub: signature " + info.own_signature + ", " + stub->string() + " has " +
                      expected);
    }
  }
  std::size_t ordinal = 0;
  for (const Record& record : info.records) {
    if (record.manifest_size != record.payload_size) {
      throw ToolError("record " + std::to_string(ordinal) + " (" + record.name + "): the manifest says " +
                      std::to_string(record.manifest_size) + " bytes, the payload holds " +
                      std::to_string(record.payload_size));
    }
    ++ordinal;
  }
  if (!info.stream_ends_after_last_file) throw ToolError("the payload stream goes on after the last file");
  std::printf("%s: correct (%zu records)\n", installer.string().c_str(), info.records.size());
  if (info.signer)
    std::printf("signed by %s\n", info.signer->c_str());
  else
    std::printf("not signed\n");
  if (info.copy_signer) std::printf("installed copy signed by %s\n", info.copy_signer->c_str());
  return 0;
}

namespace {

// The product's [Variables], as the installer reads them.
std::map<std::string, std::string, inst::LessIgnoreCase> ManifestVariables(const std::string& manifest) {
  std::map<std::string, std::string, inst::LessIgnoreCase> variables;
  std::istringstream lines(manifest);
  bool in_variables = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') in_variables = inst::EqualsIgnoreCase(line, "[Variables]");
    const auto equals = line.find('=');
    if (in_variables && equals != std::string::npos && line[0] != ';')
      variables[line.substr(0, equals)] = line.substr(equals + 1, line.find('=', equals + 1) - equals - 1);
  }
  return variables;
}

// "x64" or "x86", from the program's machine field.
std::string Architecture(const fs::path& installer) {
  std::ifstream in(installer, std::ios::binary);
  std::string head(inst::kExecutableHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  auto u32 = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
      value = value << 8 | static_cast<unsigned char>(head[at + static_cast<std::size_t>(k)]);
    return value;
  };
  const std::uint32_t pe = u32(0x3C);
  const bool x64 = pe + 6 < head.size() && (u32(pe + 4) & 0xFFFF) == 0x8664;
  return x64 ? "x64" : "x86";
}

std::string UpperHex(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A YAML single-quoted scalar: only the quote itself needs doubling.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw ToolError(path.string() + ": cannot write");
}

}  // namespace

bool IsPackageIdentifier(std::string_view id) {
  if (id.size() > 128) return false;
  int parts = 0;
  for (std::string_view rest = id;; ++parts) {
    const std::string_view part = rest.substr(0, rest.find('.'));
    if (part.empty() || part.size() > 32) return false;
    for (const char c : part)
      if (static_cast<unsigned char>(c) <= ' ' || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
        return false;
    if (part.size() == rest.size()) return parts + 1 >= 2 && parts + 1 <= 8;
    rest.remove_prefix(part.size() + 1);
  }
}

int WritePackageManifest(const fs::path& installer, const std::string& url, const std::string& package_id,
                         const fs::path& folder) {
  const Examined info = Examine(installer);
  auto variables = ManifestVariables(info.manifest);
  auto value = [&](const char* name) { return variables.count(name) ? variables[name] : std::string(); };
  const std::string version = value("Version");
  const std::string patch_level = value("PatchLevel").empty() ? "PL0" : value("PatchLevel");
  const std::string description = value("Description").empty() ? value("Product") : value("Description");
  // The installer's own uninstall entry: its key's name, and the name it shows.
  const std::string product_code = value("Product") + " " + version + patch_level;
  const std::string display_name = value("Description") + " V" + version + patch_level;
  const std::string head = "# Written by mkinstaller from " + installer.filename().string() +
                           "\nPackageIdentifier: " + package_id + "\nPackageVersion: " + Quoted(version) + "\n";
  const std::string tail = "ManifestVersion: 1.6.0\n";
  fs::create_directories(folder);
  WriteText(folder / (package_id + ".yaml"), head + "DefaultLocale: en-US\nManifestType: version\n" + tail);
  WriteText(folder / (package_id + ".locale.en-US.yaml"),
            head + "PackageLocale: en-US\nPublisher: " + Quoted(inst::kPublisher) + "\nPackageName: " +
                Quoted(description) + "\nLicense: Proprietary\nShortDescription: " + Quoted(description) +
                "\nManifestType: defaultLocale\n" + tail);
  // Headless needs a folder: "--dir=default" takes the usual one, and a location the
  // package manager appends after it wins (the last --dir= counts).
  std::string codes;
  for (const auto& [code, response] :
       std::initializer_list<std::pair<int, const char*>>{{inst::kExitFailure, "contactSupport"},
                                                          {inst::kExitBadOption, "invalidParameter"},
                                                          {inst::kExitDiskFull, "diskFull"},
                                                          {inst::kExitCancelled, "cancelledByUser"},
                                                          {inst::kExitInstallInProgress, "installInProgress"},
                                                          {inst::kExitInstalledElsewhere, "alreadyInstalled"},
                                                          {inst::kExitRestartNeeded, "rebootRequiredToFinish"}}) {
    codes += "  - InstallerReturnCode: " + std::to_string(code) + "\n    ReturnResponse: " + response + "\n";
  }
  const std::string silent = Quoted("\"--I agree to the terms of the licence\" --dir=default --unattended");
  WriteText(folder / (package_id + ".installer.yaml"),
            head +
                "InstallerType: exe\nScope: machine\nElevationRequirement: elevatesSelf\n"
                "InstallModes:\n  - interactive\n  - silent\n  - silentWithProgress\n"
                "InstallerSwitches:\n  Silent: " +
                silent + "\n  SilentWithProgress: " + silent + "\n  Log: " + Quoted("--log=\"<LOGPATH>\"") +
                "\n  InstallLocation: " + Quoted("--dir=\"<INSTALLPATH>\"") + "\nExpectedReturnCodes:\n" + codes +
                "UpgradeBehavior: uninstallPrevious\nProductCode: " + Quoted(product_code) +
                "\nAppsAndFeaturesEntries:\n  - DisplayName: " + Quoted(display_name) +
                "\n    Publisher: " + Quoted(inst::kPublisher) + "\n    DisplayVersion: " + Quoted(version) +
                "\n    ProductCode: " + Quoted(product_code) +
                "\nInstallers:\n  - Architecture: " + Architecture(installer) + "\n    InstallerUrl: " + url +
                "\n    InstallerSha256: " + UpperHex(FileSha256(installer)) + "\nManifestType: installer\n" + tail);
  std::printf("mkinstaller: wrote the package manifest of %s into %s\n", package_id.c_str(), folder.string().c_str());
  return 0;
}

}  // namespace mkinstaller
