#include "core/payload/container.h"

namespace inst::container {

std::array<unsigned char, kMagicBytes> Magic() {
  std::array<unsigned char, kMagicBytes> magic{};
  for (std::size_t i = 0; i < kMagicBytes; ++i) magic[i] = static_cast<unsigned char>(0xa3 - i);
  return magic;
}

std::uint32_t ReadLe32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void AppendLe32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xff);
}

std::string EncodeHeader(const PayloadHeader& header) {
  const auto magic = Magic();
  std::string out(magic.begin(), magic.end());
  AppendLe32(out, header.stub_length);
  AppendLe32(out, header.setuplen);
  AppendLe32(out, header.headersize);
  return out;
}

std::optional<PayloadHeader> DecodeHeader(std::string_view bytes) {
  if (bytes.size() < kPayloadHeaderBytes) return std::nullopt;
  const auto magic = Magic();
  const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < kMagicBytes; ++i)
    if (raw[i] != magic[i]) return std::nullopt;
  return PayloadHeader{ReadLe32(raw + 8), ReadLe32(raw + 12), ReadLe32(raw + 16)};
}

std::uint32_t PayloadOffsetFor(std::uint64_t stub_length) {
  const std::uint64_t aligned = (stub_length + kAlignment - 1) / kAlignment * kAlignment;
  return static_cast<std::uint32_t>(aligned < kFirstPayloadOffset ? kFirstPayloadOffset : aligned);
}

std::string EncodeReferral(std::uint16_t referral) {
  const std::uint16_t check = static_cast<std::uint16_t>(~referral);
  return {static_cast<char>(referral & 0xff), static_cast<char>(referral >> 8), static_cast<char>(check & 0xff),
          static_cast<char>(check >> 8)};
}

std::optional<std::uint16_t> DecodeReferral(std::string_view trailer) {
  if (trailer.size() != kTrailerBytes) return std::nullopt;
  const auto* b = reinterpret_cast<const unsigned char*>(trailer.data());
  const std::uint16_t referral = static_cast<std::uint16_t>(b[0] | b[1] << 8);
  const std::uint16_t check = static_cast<std::uint16_t>(b[2] | b[3] << 8);
  if (static_cast<std::uint16_t>(~check) != referral) return std::nullopt;
  return referral;
}

}  // namespace inst::container
