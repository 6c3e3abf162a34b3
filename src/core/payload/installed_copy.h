// Facts about the running program and its manifest that hold whether or not it
// carries a payload: the signature that ties a manifest to this build, and the
// installation an installed copy belongs to.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace inst {

// The 16 bytes as 32 upper-case hexadecimal digits, in file order.
std::string FormatManifestSignature(std::string_view bytes);

// The manifest's first line (lines end at any run of carriage returns and line feeds).
std::string_view FirstManifestLine(std::string_view manifest);

// For a program at FOLDER\resources\setup.exe ("resources" in any case), FOLDER:
// the installation the copy belongs to. No result elsewhere.
std::optional<std::string> InstallationFolderOfCopy(std::string_view program_path);

// Makes the first bytes of the installed copy (the stub part of the running
// installer, `copy_size` bytes) a program of its own. A signed installer's headers
// name the whole installer's signature and checksum. A signed build's stub was signed
// before packing and carries its own certificate table after its image: the copy's
// security entry names that table, so that the copy verifies as the builder signed
// it; without one the entry is cleared. The checksum, which the Authenticode digest
// leaves out, is cleared (no checksum) either way. An unsigned installer's are left.
void RestoreOwnProgramHeaders(char* head, std::size_t head_size, std::uint64_t copy_size);

}  // namespace inst
