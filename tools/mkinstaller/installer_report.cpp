#include "installer_report.h"

#include <cstdio>
#include <vector>

#include "build.h"
#include "signing.h"

#include "core/payload/fd_file.h"
#include "core/payload/installed_copy.h"
#include "core/install/installer_state.h"
#include "core/manifest/manifest_parser.h"
#include "core/payload/payload_reader.h"
#include "core/support/text.h"
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
  return 0;
}

}  // namespace mkinstaller
