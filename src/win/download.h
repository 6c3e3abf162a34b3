// Fetching an installer from a web or FTP server into a folder, through WinINet
// with the system's proxy settings.
#pragma once
#include <optional>
#include <string>

#include "win/process.h"

namespace inst::win {

// The saved file's path, or none after a failure (reported through ShowMessage,
// silent for a refused FTP connection or file). A transfer that breaks off, or a
// file that does not match `sha256` (64 hex digits) when one is given, is deleted.
// `owner`: the window over which the proxy's log-in box shows (none headless).
std::optional<std::string> DownloadUrl(Services& services, const InstallerVariables& variables, HWND owner,
                                       const std::string& url, const std::string& folder, const std::string* sha256);

}  // namespace inst::win
