// Code signing of a finished installer: the signature covers the whole file,
// payload included, and ends it, after the digest, where the installer ignores it.
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

}  // namespace mkinstaller
