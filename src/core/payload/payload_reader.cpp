#include "core/payload/payload_reader.h"

#include <algorithm>
#include <vector>

#include "core/payload/installed_copy.h"
#include "core/payload/payload_messages.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"

namespace inst {

std::optional<FoundPayload> FindPayloadHeader(FdFile& file) {
  char bytes[container::kPayloadHeaderBytes];
  for (std::int64_t offset = container::kFirstPayloadOffset;; offset += container::kAlignment) {
    if (!file.Seek(offset)) return std::nullopt;
    if (file.Read(bytes, sizeof bytes) != static_cast<long>(sizeof bytes)) return std::nullopt;
    if (auto header = container::DecodeHeader(std::string_view(bytes, sizeof bytes))) {
      return FoundPayload{*header, offset, offset + static_cast<std::int64_t>(sizeof bytes)};
    }
  }
}

namespace {

// Little-endian fields of a Windows program's headers.
struct HeadBytes {
  std::string_view head;
  std::uint32_t byte(std::size_t at) const { return static_cast<unsigned char>(head[at]); }
  std::uint32_t word(std::size_t at) const { return byte(at) | (byte(at + 1) << 8); }
  std::uint32_t dword(std::size_t at) const { return word(at) | (word(at + 2) << 16); }
  // Where the "PE\0\0" header starts, when the head is a Windows program's.
  std::optional<std::size_t> PeHeader() const {
    if (head.size() < 64 || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
    const std::size_t pe = dword(0x3C);
    if (pe > head.size() - 24 || head.substr(pe, 4) != std::string_view("PE\0\0", 4)) return std::nullopt;
    return pe;
  }
};

}  // namespace

std::optional<ProgramHeaderFields> ProgramHeaderFieldsOf(std::string_view head) {
  const HeadBytes h{head};
  const std::optional<std::size_t> pe = h.PeHeader();
  if (!pe) return std::nullopt;
  // The security entry is the fifth data directory of the optional header, whose
  // fixed part is 96 bytes long in a 32-bit program and 112 in a 64-bit one.
  const std::size_t optional = *pe + 24;
  const std::size_t directories = optional + (h.word(optional) == 0x20B ? 112 : 96);
  const std::size_t entry = directories + 4 * 8;
  if (entry + 8 > head.size() || h.word(*pe + 20) < entry + 8 - optional) return std::nullopt;
  return ProgramHeaderFields{optional + 64, entry};
}

std::optional<CertificateTable> CertificateTableOf(std::string_view head) {
  const std::optional<ProgramHeaderFields> fields = ProgramHeaderFieldsOf(head);
  const HeadBytes h{head};
  if (!fields || h.dword(fields->security_entry + 4) == 0) return std::nullopt;
  return CertificateTable{h.dword(fields->security_entry), h.dword(fields->security_entry + 4)};
}

std::optional<std::int64_t> SignedProgramEnd(std::string_view head) {
  const std::optional<std::int64_t> image_end = ExecutableImageEnd(head);
  const std::optional<CertificateTable> table = CertificateTableOf(head);
  if (image_end && table && table->offset == AlignedToEight(*image_end))
    return std::int64_t{table->offset} + table->size;
  return image_end;
}

std::optional<std::int64_t> ExecutableImageEnd(std::string_view head) {
  const HeadBytes h{head};
  const std::optional<std::size_t> pe_header = h.PeHeader();
  if (!pe_header) return std::nullopt;
  auto word = [&](std::size_t at) { return h.word(at); };
  auto dword = [&](std::size_t at) { return h.dword(at); };
  const std::size_t pe = *pe_header;
  const std::size_t sections = word(pe + 6);
  const std::size_t table = pe + 24 + word(pe + 20);
  if (sections == 0 || table + sections * 40 > head.size()) return std::nullopt;
  std::int64_t end = 0;
  for (std::size_t i = 0; i < sections; ++i) {
    const std::size_t section = table + i * 40;
    end = std::max<std::int64_t>(end, std::int64_t{dword(section + 20)} + dword(section + 16));
  }
  return end;
}

std::string ReadExecutableHead(FdFile& file) {
  std::string head(kExecutableHeadBytes, '\0');
  const long got = file.Seek(0) ? file.Read(head.data(), head.size()) : -1;
  head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return head;
}

std::optional<std::int64_t> ExecutableImageEnd(FdFile& file) { return ExecutableImageEnd(ReadExecutableHead(file)); }

std::string ReadManifestSignature(FdFile& file, Messages& messages) {
  if (!file.Seek(container::kSignatureOffset)) messages.FatalError(msg::kSeekOnSetup);
  char bytes[container::kSignatureBytes] = {};
  const long got = file.Read(bytes, sizeof bytes);
  return FormatManifestSignature(std::string_view(bytes, got > 0 ? static_cast<std::size_t>(got) : 0));
}

void CheckPayloadDigest(FdFile& file, std::uint32_t setuplen, std::uint32_t headersize, Md5& md5, Messages& messages) {
  if (!file.Seek(headersize)) messages.InstallerCorrupt();
  std::vector<char> chunk(container::kDigestChunk);
  std::uint32_t remaining = setuplen;
  while (remaining > 0) {
    const std::size_t want = std::min<std::size_t>(remaining, chunk.size());
    if (file.Read(chunk.data(), want) != static_cast<long>(want)) {
      messages.FatalError(msg::kCantReadEntireFilecheck, static_cast<long>(remaining));
    }
    md5.Update(chunk.data(), want);
    remaining -= static_cast<std::uint32_t>(want);
  }
  const Md5Digest computed = md5.Final();
  Md5Digest stored{};
  const long got = file.Read(stored.data(), stored.size());
  if (got != static_cast<long>(stored.size())) messages.FatalError(msg::kCantReadFilecheck, static_cast<int>(got));
  if (computed != stored) messages.InstallerCorrupt();
}

std::uint32_t ReadStreamWord(PayloadStream& stream, Messages& messages) {
  std::uint32_t word = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int byte = stream.ReadByte();
    if (byte < 0) messages.InstallerCorrupt();
    word |= static_cast<std::uint32_t>(byte) << shift;
  }
  return word;
}

std::string ReadPayloadManifest(PayloadStream& stream, Messages& messages) {
  const std::uint32_t length = ReadStreamWord(stream, messages);
  std::string text;
  // Grown as the bytes arrive, so a damaged length cannot ask for gigabytes at once.
  char chunk[65536];
  while (text.size() < length) {
    const long got = stream.Read(chunk, std::min<std::size_t>(sizeof chunk, length - text.size()));
    if (got <= 0) messages.InstallerCorrupt();
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return text;
}

std::unique_ptr<PayloadStream> OpenVerifiedPayload(FdFile& file, const FoundPayload& payload, Md5& md5,
                                                   Messages& messages, std::string& manifest) {
  CheckPayloadDigest(file, payload.header.setuplen, payload.header.headersize, md5, messages);
  std::unique_ptr<PayloadStream> stream = file.Seek(payload.stream_start) ? OpenGzipStream(file.fd()) : nullptr;
  if (!stream) messages.InstallerCorrupt();
  manifest = ReadPayloadManifest(*stream, messages);
  return stream;
}

std::optional<std::uint16_t> ReadReferral(const std::string& path) {
  FdFile file = FdFile::OpenForReading(path);
  if (!file.is_open()) return std::nullopt;
  // A signed file ends in its certificate table, where no trailer can be.
  const std::optional<CertificateTable> table = CertificateTableOf(ReadExecutableHead(file));
  if (table && std::int64_t{table->offset} + table->size >= file.Size()) return std::nullopt;
  if (!file.SeekFromEnd(container::kTrailerBytes)) return std::nullopt;
  char trailer[container::kTrailerBytes];
  if (file.Read(trailer, sizeof trailer) != static_cast<long>(sizeof trailer)) return std::nullopt;
  return container::DecodeReferral(std::string_view(trailer, sizeof trailer));
}

void ApplyOrderingDefaults(InstallerVariables& variables, std::optional<std::uint16_t> referral) {
  if (variables.GetVariable(var::kOrderingURL) == nullptr && !variables.TestFlag("HideOrderingURL")) {
    variables.SetVariable(var::kOrderingURL, kDefaultOrderingUrl);
  }
  if (referral) {
    variables.SetVariable("ReferralID", FormatText("%u", static_cast<unsigned>(*referral)));
    variables.SetVariable(var::kOrderingURL, variables.ExpandVariables("[OrderingURL]?referrer=[ReferralID]"));
  }
}

}  // namespace inst
