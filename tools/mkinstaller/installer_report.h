#pragma once
#include <filesystem>
#include <optional>

namespace mkinstaller {

// Prints the manifest, the resources and the files of an installer with their sizes.
int ListInstaller(const std::filesystem::path& installer);

// Checks the layout, the digest, the signature (against a stub when given) and every
// record's size; prints the first fault and returns non-zero when there is one.
int VerifyInstaller(const std::filesystem::path& installer, const std::optional<std::filesystem::path>& stub);

}  // namespace mkinstaller
