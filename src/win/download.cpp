#include "download.h"

#include <wininet.h>

#include <ctime>
#include <optional>
#include <vector>

#include "core/install/download.h"
#include "core/manifest/manifest_parser.h"
#include "core/support/text.h"
#include "call_failure.h"
#include "handles.h"
#include "core/support/variable_names.h"
#include "win_messages.h"

namespace inst::win {

namespace {

constexpr std::size_t kDispositionBuffer = 16384;
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
// A server that takes longer than this to accept, to answer or to send the next
// data is given up on: a network that swallows packets must not hold the run.
constexpr DWORD kNetworkTimeoutSeconds = 30;

// Whether a network call that failed had waited out the time limit (systems name
// that failure differently: a timeout, or a connection aborted).
bool TimedOut(DWORD error, ULONGLONG started) {
  return error == ERROR_INTERNET_TIMEOUT || ::GetTickCount64() - started >= kNetworkTimeoutSeconds * 1000ULL - 500;
}

class InternetStream final : public DownloadStream {
 public:
  explicit InternetStream(HINTERNET handle) : handle_(handle) {}
  long Read(void* buffer, std::size_t size) override {
    DWORD got = 0;
    const ULONGLONG started = ::GetTickCount64();
    if (!::InternetReadFile(handle_, buffer, static_cast<DWORD>(size), &got)) {
      timed_out_ = TimedOut(::GetLastError(), started);
      return -1;
    }
    return static_cast<long>(got);
  }
  bool timed_out() const { return timed_out_; }

 private:
  HINTERNET handle_;
  bool timed_out_ = false;
};

// While the request is waited on, Cancel (on the window's thread) closes it, which
// ends the wait at once; the handle is then this owner's no longer.
class CutOnStop {
 public:
  CutOnStop(ProgressRelay& relay, InternetHandle& request) : relay_(relay), request_(request) {
    relay_.HoldCuttable(request_.get(), [](void* handle) { ::InternetCloseHandle(handle); });
  }
  ~CutOnStop() {
    if (relay_.ReleaseCuttable() == nullptr) static_cast<void>(request_.release());
  }
  CutOnStop(const CutOnStop&) = delete;
  CutOnStop& operator=(const CutOnStop&) = delete;

 private:
  ProgressRelay& relay_;
  InternetHandle& request_;
};

void SetTimeouts(HINTERNET session) {
  DWORD milliseconds = kNetworkTimeoutSeconds * 1000;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    static_cast<void>(::InternetSetOptionA(session, option, &milliseconds, sizeof milliseconds));
}

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

// A failure is shown, unless Cancel caused it (the run then ends as cancelled).
// `started`: when the call began, for the log to say that the time limit ended it.
void ShowCallFailure(Process& process, const char* call, ULONGLONG started = ::GetTickCount64()) {
  const CallFailure failure = LastCallFailure(call);
  if (process.services.progress.StopRequested()) return;
  if (TimedOut(failure.error, started)) {
    process.services.log.Write(FormatText("%s: no answer from the server within %lu seconds", call,
                                          static_cast<unsigned long>(kNetworkTimeoutSeconds)));
  }
  process.services.messages.ShowMessage("%s", failure.Text().c_str());
}

// Sends the request until it has a status, offering the proxy's log-in box on 407.
// The status, or none after a reported failure.
std::optional<DWORD> SendRequest(Process& process, HINTERNET request) {
  for (;;) {
    const ULONGLONG started = ::GetTickCount64();
    if (!::HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
      ShowCallFailure(process, "HttpSendRequest", started);
      return std::nullopt;
    }
    DWORD status = 0, size = sizeof status;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
      ShowCallFailure(process, "HttpQueryInfo");
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

std::optional<std::string> DownloadHere(Process& process, const std::string& url, const std::string& folder,
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
    ShowCallFailure(process, "InternetOpen");
    return std::nullopt;
  }
  SetTimeouts(session.get());
  InternetHandle connection;
  InternetHandle request;
  std::optional<CutOnStop> cut;
  std::string file_name = parts.file_name;
  std::uint32_t total = 0;
  if (parts.scheme == UrlScheme::kFtp) {
    connection.reset(::InternetConnectA(session.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                        INTERNET_SERVICE_FTP, 0, 0));
    if (!connection) return std::nullopt;
    request.reset(::FtpOpenFileA(connection.get(), parts.object.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0));
    if (request) cut.emplace(process.services.progress, request);
  } else {
    connection.reset(::InternetConnectA(session.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
      ShowCallFailure(process, "InternetConnect");
      return std::nullopt;
    }
    // Certificates are checked: an https source is trusted only with a valid one.
    const DWORD secure = parts.scheme == UrlScheme::kHttps ? INTERNET_FLAG_SECURE : 0;
    request.reset(::HttpOpenRequestA(connection.get(), "GET", parts.object.c_str(), nullptr, nullptr, nullptr,
                                     kRequestFlags | secure, 0));
    if (!request) {
      ShowCallFailure(process, "HttpOpen request");
      return std::nullopt;
    }
    cut.emplace(process.services.progress, request);
    SetTimeouts(request.get());
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
  };
  InternetStream stream(request.get());
  std::unique_ptr<Sha256> digest = sha256 ? NewSha256() : nullptr;
  const TransferResult result = TransferDownload(stream, *opened.file, total, progress, digest.get());
  opened.file.reset();

  // A file cut short or not the one the manifest names is never run.
  if (!result.Complete(total)) {
    static_cast<void>(process.services.files.RemoveFile(target));        // or it goes with the temporary folder
    if (process.services.progress.StopRequested()) return std::nullopt;  // cut by Cancel
    if (stream.timed_out()) {
      process.services.log.Write(FormatText("%s: no data from the server for %lu seconds", url.c_str(),
                                            static_cast<unsigned long>(kNetworkTimeoutSeconds)));
    }
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

template <typename Work>
DWORD WINAPI RunWork(void* work) {
  (*static_cast<Work*>(work))();
  return 0;
}

// Runs `work` on a thread of its own while this one waits, so that Cancel ends the
// wait at once even where a call cannot be interrupted (Windows ends a request's
// wait when the request is closed; not every system does). After a stop the work
// has a second to end; if it has not, the run ends as cancelled from here, without
// returning, so that what the work refers to stays valid until the process ends.
template <typename Work>
void RunStoppable(Process& process, Work& work) {
  const KernelHandle thread(::CreateThread(nullptr, 0, RunWork<Work>, &work, 0, nullptr));
  if (!thread) {
    work();
    return;
  }
  constexpr DWORD kStopPollMilliseconds = 100;
  constexpr DWORD kStopGraceMilliseconds = 1000;
  while (::WaitForSingleObject(thread.get(), kStopPollMilliseconds) == WAIT_TIMEOUT) {
    if (process.services.progress.StopRequested() &&
        ::WaitForSingleObject(thread.get(), kStopGraceMilliseconds) == WAIT_TIMEOUT) {
      process.services.messages.EndRun(kExitCancelled);
    }
  }
}

}  // namespace

std::optional<std::string> DownloadUrl(Process& process, const std::string& url, const std::string& folder,
                                       const std::string* sha256) {
  std::optional<std::string> saved;
  auto work = [&] { saved = DownloadHere(process, url, folder, sha256); };
  RunStoppable(process, work);
  return saved;
}

}  // namespace inst::win
