#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mkinstaller {

// Prints the manifest, the resources and the files of an installer with their sizes.
int ListInstaller(const std::filesystem::path& installer);

// Checks the layout, the digest, the signature (against a stub when given) and every
// record's size; prints the first fault and returns non-zero when there is one.
int VerifyInstaller(const std::filesystem::path& installer, const std::optional<std::filesystem::path>& stub);

// A package identifier as the package manager's schema has it: PUBLISHER.PACKAGE,
// 2 to 8 parts of 1 to 32 characters, without blanks or the characters \/:*?"<>|.
bool IsPackageIdentifier(std::string_view id);

// Writes the Windows package manager's manifest of a built installer (schema 1.6.0:
// the version, default-locale and installer files) into `folder`, from the product's
// manifest, the installer's digest and where it is downloaded from. The versions
// install side by side (one folder each): "uninstallPrevious" makes the package
// manager remove the earlier one when it upgrades.
int WritePackageManifest(const std::filesystem::path& installer, const std::string& url, const std::string& package_id,
                         const std::filesystem::path& folder);

}  // namespace mkinstaller
