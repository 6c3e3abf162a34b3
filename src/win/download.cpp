#include "download.h"

#include <wininet.h>

#include <ctime>
#include <vector>

#include "core/install/download.h"
#include "core/manifest/manifest_parser.h"
#include "core/support/text.h"
#include "call_failure.h"
#include "handles.h"
#include "message_pump.h"
#include "core/support/variable_names.h"
#include "win_messages.h"

namespace inst::win {

namespace {

constexpr std::size_t kDispositionBuffer = 16384;
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;

class InternetStream final : public DownloadStream {
 public:
  explicit InternetStream(HINTERNET handle) : handle_(handle) {}
  long Read(void* buffer, std::size_t size) override {
    DWORD got = 0;
    if (!::InternetReadFile(handle_, buffer, static_cast<DWORD>(size), &got)) return -1;
    return static_cast<long>(got);
  }

 private:
  HINTERNET handle_;
};

// The Content-Length header as a number; 0 when there is none.
std::uint32_t ContentLength(HINTERNET request) {
  char text[32] = {};
  DWORD size = sizeof text - 1;
  if (!::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return 0;
  return ReadDecimal(text);
}

// The name the server gives the file, kept to a plain name in the folder: a
// header must not place the file anywhere else.
std::optional<std::string> ServerFileName(HINTERNET request) {
  std::vector<char> header(kDispositionBuffer);
  DWORD size = static_cast<DWORD>(header.size() - 1);
  if (!::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_DISPOSITION, header.data(), &size, nullptr)) return std::nullopt;
  const std::optional<std::string> name = ContentDispositionName(std::string_view(header.data(), size));
  if (!name) return std::nullopt;
  const std::string plain(BaseName(*name));
  if (plain.empty() || plain == "." || plain == "..") return std::nullopt;
  return plain;
}

void ShowCallFailure(Messages& messages, const char* call) {
  messages.ShowMessage("%s", LastCallFailure(call).Text().c_str());
}

// Sends the request until it has a status, offering the proxy's log-in box on 407.
// The status, or none after a reported failure.
std::optional<DWORD> SendRequest(Process& process, HINTERNET request) {
  for (;;) {
    if (!::HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
      ShowCallFailure(process.services.messages, "HttpSendRequest");
      return std::nullopt;
    }
    DWORD status = 0, size = sizeof status;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
      ShowCallFailure(process.services.messages, "HttpQueryInfo");
      return std::nullopt;
    }
    // The proxy's log-in box waits for a person: an unattended run takes the 407.
    if (status == HTTP_STATUS_PROXY_AUTH_REQ && !process.variables().TestFlag(var::kUnattended) &&
        ::InternetErrorDlg(
            process.program.main_window, request, ERROR_SUCCESS,
            FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
            nullptr) == ERROR_INTERNET_FORCE_RETRY) {
      continue;
    }
    return status;
  }
}

}  // namespace

std::optional<std::string> DownloadUrl(Process& process, const std::string& url, const std::string& folder,
                                       const std::string* sha256) {
  Messages& messages = process.services.messages;
  const ParsedUrl parsed = ParseUrl(url);
  if (!parsed.parts) {
    messages.ShowMessage("%s", parsed.error);
    return std::nullopt;
  }
  const UrlParts& parts = *parsed.parts;
  if (process.variables().TestFlag("HttpsOnly") && parts.scheme != UrlScheme::kHttps) {
    messages.ShowMessage(msg::kHttpsOnly);
    return std::nullopt;
  }
  InternetHandle session(::InternetOpenA("URL_download", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) {
    ShowCallFailure(messages, "InternetOpen");
    return std::nullopt;
  }
  InternetHandle connection;
  InternetHandle request;
  std::string file_name = parts.file_name;
  std::uint32_t total = 0;
  if (parts.scheme == UrlScheme::kFtp) {
    connection.reset(::InternetConnectA(session.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                        INTERNET_SERVICE_FTP, 0, 0));
    if (!connection) return std::nullopt;
    request.reset(::FtpOpenFileA(connection.get(), parts.object.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0));
  } else {
    connection.reset(::InternetConnectA(session.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
      ShowCallFailure(messages, "InternetConnect");
      return std::nullopt;
    }
    // Certificates are checked: an https source is trusted only with a valid one.
    const DWORD secure = parts.scheme == UrlScheme::kHttps ? INTERNET_FLAG_SECURE : 0;
    request.reset(::HttpOpenRequestA(connection.get(), "GET", parts.object.c_str(), nullptr, nullptr, nullptr,
                                     kRequestFlags | secure, 0));
    if (!request) {
      ShowCallFailure(messages, "HttpOpen request");
      return std::nullopt;
    }
    const std::optional<DWORD> status = SendRequest(process, request.get());
    if (!status) return std::nullopt;
    if (*status > 299) {
      messages.ShowMessage(msg::kServerError, static_cast<int>(*status));
      return std::nullopt;
    }
    if (std::optional<std::string> name = ServerFileName(request.get())) file_name = std::move(*name);
    total = ContentLength(request.get());
  }
  if (!request) return std::nullopt;

  const std::string target = JoinPath(folder, file_name);
  Opened<OutputFile> opened = process.services.files.OpenForWriting(target);
  if (!opened.file) {
    messages.ShowMessage(msg::kCantCreateDownload, target.c_str(), opened.error_number);
    return std::nullopt;
  }
  const std::string_view shown = BaseName(url);
  DownloadRate rate;
  auto progress = [&](std::uint32_t received, std::uint32_t expected) {
    const DownloadRate::Step step = rate.Update(received, expected, std::time(nullptr), shown);
    process.services.progress.ReportProgress(step.percent, step.line ? step.line->c_str() : nullptr);
    DispatchPendingMessage(process.program.main_window);
  };
  InternetStream stream(request.get());
  std::unique_ptr<Sha256> digest = sha256 ? NewSha256() : nullptr;
  const TransferResult result = TransferDownload(stream, *opened.file, total, progress, digest.get());
  opened.file.reset();

  // A file cut short or not the one the manifest names is never run.
  if (!result.Complete(total)) {
    static_cast<void>(process.services.files.RemoveFile(target));  // or it goes with the temporary folder
    if (result.write_fault)
      messages.ShowMessage(msg::kCantWriteDownload, target.c_str());
    else
      messages.ShowMessage(msg::kDownloadBrokeOff, url.c_str(), static_cast<unsigned long>(result.received));
    return std::nullopt;
  }
  if (digest && !EqualsIgnoreCase(Sha256Text(digest->Final()), *sha256)) {
    static_cast<void>(process.services.files.RemoveFile(target));  // or it goes with the temporary folder
    messages.ShowMessage(msg::kDownloadDigestMismatch, url.c_str());
    return std::nullopt;
  }
  return target;
}

}  // namespace inst::win
