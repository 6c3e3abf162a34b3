// The installer file layout, shared by setup.exe (which reads it) and the builder
// (which writes it). All integers are little-endian.
//
//   offset 0            the executable's headers (kHeaderSize bytes, not digested)
//   kHeaderSize         the rest of the stub: the program without payload
//   stub length         zero padding up to the payload offset P
//   P                   payload header (20 bytes):
//                         magic[8] a3 a2 a1 a0 9f 9e 9d 9c
//                         u32 stub length   bytes of the program proper
//                         u32 setuplen      length of the digested stretch
//                         u32 headersize    where the digested stretch begins
//   P + 20              one gzip member holding the payload stream
//   headersize+setuplen MD5 of bytes [headersize, headersize + setuplen)
//   ...                 ignored (a code-signing certificate table may follow)
//   file length - 4     optional referral trailer: u16 number, u16 its complement
//
// P is a multiple of 1024, at least kFirstPayloadOffset; setup.exe finds the header
// by probing every 1024-byte boundary from there on.
//
// Payload stream (the gzip member's content), strictly sequential:
//   u32 L, L bytes of manifest text (first line: the stub's signature)
//   for each [Resources] line in order: u32 size, the resource's bytes
//   for each file of [Features] in manifest order: u32 size, the file's bytes
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace inst::container {

inline constexpr std::uint32_t kHeaderSize = 1024;
inline constexpr std::uint32_t kAlignment = 1024;
inline constexpr std::uint32_t kFirstPayloadOffset = 204800;
inline constexpr std::size_t kPayloadHeaderBytes = 20;
inline constexpr std::size_t kMagicBytes = 8;
inline constexpr std::size_t kDigestBytes = 16;
inline constexpr std::size_t kTrailerBytes = 4;
// Offset of the 16 stub bytes a manifest's first line must spell in hexadecimal.
inline constexpr long kSignatureOffset = 23040;
inline constexpr std::size_t kSignatureBytes = 16;
// The digest is computed over reads of this size.
inline constexpr std::size_t kDigestChunk = 16384;

// Made at run time so that the program's own file never holds the magic at a
// boundary the search probes.
std::array<unsigned char, kMagicBytes> Magic();

struct PayloadHeader {
  std::uint32_t stub_length = 0;
  std::uint32_t setuplen = 0;
  std::uint32_t headersize = kHeaderSize;
};

std::string EncodeHeader(const PayloadHeader& header);
// No result when the bytes do not start with the magic.
std::optional<PayloadHeader> DecodeHeader(std::string_view bytes);

// Where the payload header goes for a stub of this length.
std::uint32_t PayloadOffsetFor(std::uint64_t stub_length);

std::uint32_t ReadLe32(const unsigned char* bytes);
void AppendLe32(std::string& out, std::uint32_t value);

std::string EncodeReferral(std::uint16_t referral);
// The referral number, when the last four bytes of a file check out.
std::optional<std::uint16_t> DecodeReferral(std::string_view trailer);

}  // namespace inst::container
