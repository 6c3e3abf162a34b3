#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace mkinstaller {

// Prints the manifest, the resources and the files of an installer with their sizes.
int ListInstaller(const std::filesystem::path& installer);

// Checks the layout, the digest, the signature (against a stub when given) and every
// record's size; prints the first fault and returns non-zero when there is one.
int VerifyInstaller(const std::filesystem::path& installer, const std::optional<std::filesystem::path>& stub);

// Writes the Windows package manager's manifest of a built installer (schema 1.6.0:
// the version, default-locale and installer files) into `folder`, from the product's
// manifest, the installer's digest and where it is downloaded from.
int WritePackageManifest(const std::filesystem::path& installer, const std::string& url, const std::string& package_id,
                         const std::filesystem::path& folder);

}  // namespace mkinstaller
