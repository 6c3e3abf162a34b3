// Code signing of a finished installer: the signature covers the whole file,
// payload included, and ends it, after the digest, where the installer ignores it.
// The stub is signed on its own first, so that the copy an installation keeps is
// signed too.
#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "core/payload/fd_file.h"

namespace mkinstaller {

struct SigningOptions {
  std::filesystem::path certificate;  // PEM (or DER) certificate, with its chain
  std::filesystem::path key;          // its private key, unencrypted
};

// Signs `input` into `output` with osslsigncode (SHA-256); throws ToolError when
// the tool is missing or fails.
void SignFile(const std::filesystem::path& input, const std::filesystem::path& output, const SigningOptions& signing,
              const std::string& description);

// What the file's certificate table holds: the signer's subject, or no result
// for a file that is not signed. Throws ToolError when the table is damaged, lies
// before `content_end` (the end of the installer's digest) or does not end the file.
std::optional<std::string> SignerOf(inst::FdFile& file, std::int64_t content_end);

// The signer of the installed copy a signed build leaves: the stub's own signature,
// which the builder made before packing it (the table after the stub's image, within
// the `stub_length` bytes the installer copies). No result for an unsigned stub.
std::optional<std::string> CopySignerOf(inst::FdFile& file, std::uint32_t stub_length);

}  // namespace mkinstaller
