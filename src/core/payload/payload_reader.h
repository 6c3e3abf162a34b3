// Finding, proving and opening the payload of an installer file. Used by setup.exe
// at start-up and by the builder's list and verify commands.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/payload/container.h"
#include "core/payload/fd_file.h"
#include "core/payload/md5.h"
#include "core/payload/payload_stream.h"
#include "core/support/messages.h"
#include "core/support/variables.h"

namespace inst {

struct FoundPayload {
  container::PayloadHeader header;
  std::int64_t offset = 0;        // of the payload header
  std::int64_t stream_start = 0;  // just behind the header: the gzip member
};

// Probes every 1024-byte boundary from 204800 on; stops at the end of the file.
std::optional<FoundPayload> FindPayloadHeader(FdFile& file);

// Where the program's own image ends in its file: the end of its last section's
// raw data, read from the executable headers at the start of the file. No result
// when the headers cannot be read. A file longer than that carries something
// appended: a payload, or what is left of one.
std::optional<std::int64_t> ExecutableImageEnd(FdFile& file);
// The same from the first bytes of a file (kExecutableHeadBytes are enough); no
// result when they are not a Windows program's.
std::optional<std::int64_t> ExecutableImageEnd(std::string_view head);
inline constexpr std::size_t kExecutableHeadBytes = 4096;
// The first kExecutableHeadBytes of the file (fewer when it is shorter).
std::string ReadExecutableHead(FdFile& file);

// Where a signed program keeps its signature: the certificate table named by the
// security directory of its headers (file offset and length). No result for a
// program that is not signed, or headers that cannot be read.
struct CertificateTable {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};
std::optional<CertificateTable> CertificateTableOf(std::string_view head);
// Where two fields lie in a program's headers (offsets in the file): the checksum
// and the security directory entry (offset and length of the certificate table).
struct ProgramHeaderFields {
  std::size_t checksum = 0;
  std::size_t security_entry = 0;
};
std::optional<ProgramHeaderFields> ProgramHeaderFieldsOf(std::string_view head);
// A certificate table starts at the 8-byte boundary that follows what it signs.
inline std::int64_t AlignedToEight(std::int64_t offset) { return (offset + 7) / 8 * 8; }
// Where a program ends with its signature: the end of the certificate table that
// directly follows its image, else the image's end.
std::optional<std::int64_t> SignedProgramEnd(std::string_view head);

// The 16 bytes at the signature offset as hexadecimal ("Seek on setup" when the
// seek fails).
std::string ReadManifestSignature(FdFile& file, Messages& messages);

// Returns only when the stored digest matches the stretch it covers.
void CheckPayloadDigest(FdFile& file, std::uint32_t setuplen, std::uint32_t headersize, Md5& md5, Messages& messages);

// Four bytes of the stream, least significant first; the end of the stream inside
// them is fatal.
std::uint32_t ReadStreamWord(PayloadStream& stream, Messages& messages);

// The manifest text at the start of the stream.
std::string ReadPayloadManifest(PayloadStream& stream, Messages& messages);

// What setup.exe and the builder's report both do with a payload found: the digest
// checked, the gzip member opened and `manifest` read from its start; the stream is
// left behind the manifest. A fault ends the run with "Installer is corrupt or
// truncated".
std::unique_ptr<PayloadStream> OpenVerifiedPayload(FdFile& file, const FoundPayload& payload, Md5& md5,
                                                   Messages& messages, std::string& manifest);

// The referral number of a file whose last four bytes check out.
std::optional<std::uint16_t> ReadReferral(const std::string& path);

// The maker's home page, the ordering address unless the manifest names another.
inline constexpr const char* kDefaultOrderingUrl = "http://www.voranth-tools.example/";

// Sets OrderingURL to the maker's address unless it is set or hidden, then adds the
// referral to it when the file carries one.
void ApplyOrderingDefaults(InstallerVariables& variables, std::optional<std::uint16_t> referral);

}  // namespace inst
