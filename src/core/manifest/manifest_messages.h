// The texts the manifest layer shows: a manifest it cannot read, and the installed
// manifest it cannot write.
#pragma once

namespace inst::msg {

inline constexpr const char* kNoFeatureList = "No feature list in manifest";
inline constexpr const char* kFeatureNotInManifest = "Feature %s not in manifest";
inline constexpr const char* kNoComponentList = "No component_list in manifest";
inline constexpr const char* kComponentNotInManifest = "Component %s not in manifest";
inline constexpr const char* kInvalidManifestFormat = "Invalid manifest format";
// A name the installer may not write: it would leave the installation, or Windows refuses it.
inline constexpr const char* kInvalidManifestName = "Invalid manifest format: line %d: the name \"%s\" %s";
inline constexpr const char* kProductFolderLeadsOut =
    "Invalid manifest format: the %s folder \"%s\" leads outside its folder";
inline constexpr const char* kUnknownManifestLine = "Unknown line in manifest: %s";
inline constexpr const char* kBadResourcesLine = "Bad line in [Resources]";
inline constexpr const char* kBadVariablesLine = "Bad line in [Variables]";
inline constexpr const char* kFileWithoutFolder = "file in list without preceding folder";
// "--no-" options that cannot be carried out (exit code 87).
inline constexpr const char* kRequiredComponentLeftOut = "--no-%s: the component is required and cannot be left out";
inline constexpr const char* kUnknownComponent = "--no-%s: no such component; the components are %s";
inline constexpr const char* kBadShortcutsLine = "Bad line in [Shortcuts]";
inline constexpr const char* kCantWriteInstalledManifest = "Can't open manifest for writing";

}  // namespace inst::msg
