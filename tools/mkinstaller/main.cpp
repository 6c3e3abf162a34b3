// mkinstaller: turns a manifest source, a folder of product files and a stub into one
// installer executable, and lists or verifies installers.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "build.h"
#include "installer_report.h"
#include "source_manifest.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  mkinstaller build --stub STUB --manifest SOURCE --root DIR [--referral N] [--level 1-9]\n"
    "                    [--sign CERT --sign-key KEY] -o OUT\n"
    "  mkinstaller list INSTALLER\n"
    "  mkinstaller verify INSTALLER [--stub STUB]\n"
    "  mkinstaller sha256 FILE\n"
    "  mkinstaller package-manifest INSTALLER --url URL --id PUBLISHER.PACKAGE -o FOLDER\n"
    "  mkinstaller --help\n"
    "\n"
    "build    packs the product into an installer. SOURCE is a manifest without its\n"
    "         signature line; its [Resources] files are found beside SOURCE, product\n"
    "         files under DIR at their folder path. Sizes may be left out of SOURCE;\n"
    "         a size that is given must match the file. --referral adds a referral\n"
    "         number (0-65535) to the end of the file; --level sets the compression\n"
    "         (default 6). The same inputs always give the same bytes. --sign\n"
    "         signs the installer with the certificate CERT and its key KEY (PEM\n"
    "         files; needs osslsigncode); the signature covers the payload and\n"
    "         cannot go with --referral.\n"
    "list     prints the manifest, the resources and the files with their sizes.\n"
    "verify   checks layout, digest, manifest signature (against STUB when given)\n"
    "         and every record's size, and names the code signer; names the first\n"
    "         fault.\n"
    "sha256   prints the line that makes a downloaded installer prove itself: put\n"
    "         it after the Installer= or Alternate= line of the server address.\n"
    "package-manifest  writes the Windows package manager's manifest of a built\n"
    "         installer (its version, default-locale and installer files) into FOLDER:\n"
    "         URL is where the installer is downloaded from, PUBLISHER.PACKAGE its\n"
    "         package identifier.\n"
    "\n"
    "Exit status: 0 on success, 1 on a fault, 2 on a usage error.\n";

struct UsageError {
  std::string text;
};

long ParseNumber(const std::string& text, long low, long high, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high) {
    throw UsageError{std::string(what) + " must be a number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'"};
  }
  return value;
}

int Build(const std::vector<std::string>& args) {
  mkinstaller::BuildOptions options;
  mkinstaller::SigningOptions signing;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{option + " needs a value"};
      return args[++i];
    };
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (option == "--stub")
      options.stub = value();
    else if (option == "--manifest")
      options.manifest = value();
    else if (option == "--root")
      options.root = value();
    else if (option == "-o" || option == "--output")
      options.output = value();
    else if (option == "--referral")
      options.referral = static_cast<std::uint16_t>(ParseNumber(value(), 0, 65535, "--referral"));
    else if (option == "--level")
      options.level = static_cast<int>(ParseNumber(value(), 1, 9, "--level"));
    else if (option == "--sign")
      signing.certificate = value();
    else if (option == "--sign-key")
      signing.key = value();
    else
      throw UsageError{"unknown option '" + option + "'"};
  }
  if (options.stub.empty() || options.manifest.empty() || options.root.empty() || options.output.empty()) {
    throw UsageError{"build needs --stub, --manifest, --root and -o"};
  }
  if (signing.certificate.empty() != signing.key.empty()) throw UsageError{"--sign and --sign-key go together"};
  if (!signing.certificate.empty()) options.signing = signing;
  options.show_progress = isatty(STDERR_FILENO) != 0;
  const mkinstaller::BuildSummary built = mkinstaller::BuildInstaller(options);
  std::printf("mkinstaller: wrote %s: %llu bytes; %zu files, %zu components; %.1f MB packed to %.0f%%\n",
              options.output.string().c_str(), static_cast<unsigned long long>(built.output_bytes), built.files,
              built.components, static_cast<double>(built.product_bytes) / 1e6,
              built.product_bytes
                  ? 100.0 * static_cast<double>(built.compressed_bytes) / static_cast<double>(built.product_bytes)
                  : 0.0);
  return 0;
}

int Dispatch(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"no command given"};
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "build") return Build(rest);
  if (command == "list") {
    if (rest.size() != 1) throw UsageError{"list takes one installer"};
    return mkinstaller::ListInstaller(rest[0]);
  }
  if (command == "verify") {
    if (rest.size() == 1) return mkinstaller::VerifyInstaller(rest[0], std::nullopt);
    if (rest.size() == 3 && rest[1] == "--stub") return mkinstaller::VerifyInstaller(rest[0], rest[2]);
    throw UsageError{"verify takes an installer and optionally --stub STUB"};
  }
  if (command == "sha256") {
    if (rest.size() != 1) throw UsageError{"sha256 takes one file"};
    std::printf("SHA256=%s\n", mkinstaller::FileSha256(rest[0]).c_str());
    return 0;
  }
  if (command == "package-manifest") {
    std::string url, id, folder;
    for (std::size_t i = 1; i + 1 < rest.size(); i += 2) {
      if (rest[i] == "--url")
        url = rest[i + 1];
      else if (rest[i] == "--id")
        id = rest[i + 1];
      else if (rest[i] == "-o")
        folder = rest[i + 1];
      else
        throw UsageError{"unknown option '" + rest[i] + "'"};
    }
    if (rest.empty() || rest.size() % 2 == 0 || url.empty() || id.empty() || folder.empty())
      throw UsageError{"package-manifest takes an installer, --url, --id and -o"};
    if (!mkinstaller::IsPackageIdentifier(id))
      throw UsageError{"--id " + id +
                       ": the package manager takes PUBLISHER.PACKAGE: 2 to 8 parts of 1 to 32 characters joined by "
                       "\".\", without blanks or \\/:*?\"<>|"};
    return mkinstaller::WritePackageManifest(rest[0], url, id, folder);
  }
  throw UsageError{"unknown command '" + command + "'"};
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Dispatch(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::fprintf(stderr, "mkinstaller: %s\n\n%s", error.text.c_str(), kUsage);
    return 2;
  } catch (const mkinstaller::ToolError& error) {
    std::fprintf(stderr, "mkinstaller: %s\n", error.what());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mkinstaller: %s\n", error.what());
    return 1;
  }
}
