#include "win/download.h"

#include <wininet.h>

#include <ctime>
#include <optional>
#include <vector>

#include "core/install/download.h"
#include "core/manifest/manifest_parser.h"
#include "core/support/text.h"
#include "core/support/variable_names.h"
#include "win/call_failure.h"
#include "win/handles.h"
#include "win/win_messages.h"

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
  CutOnStop(StopRequest& stop, InternetHandle& request) : stop_(stop), request_(request) {
    stop_.HoldCuttable(request_.get(), [](void* handle) { ::InternetCloseHandle(handle); });
  }
  ~CutOnStop() {
    if (stop_.ReleaseCuttable() == nullptr) static_cast<void>(request_.release());
  }
  CutOnStop(const CutOnStop&) = delete;
  CutOnStop& operator=(const CutOnStop&) = delete;

 private:
  StopRequest& stop_;
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

// One download: the connection and request to the server, the transfer into the
// folder, and the check of what arrived. Each step reports its own failure and
// answers none.
class Download {
 public:
  Download(Services& services, const InstallerVariables& variables, HWND owner)
      : services_(services), variables_(variables), owner_(owner) {}

  std::optional<std::string> Fetch(const std::string& url, const std::string& folder, const std::string* sha256) {
    const ParsedUrl parsed = ParseUrl(url);
    if (!parsed.parts) {
      services_.messages.ShowMessage("%s", parsed.error);
      return std::nullopt;
    }
    if (variables_.TestFlag("HttpsOnly") && parsed.parts->scheme != UrlScheme::kHttps) {
      services_.messages.ShowMessage(msg::kHttpsOnly);
      return std::nullopt;
    }
    file_name_ = parsed.parts->file_name;
    if (!Connect(*parsed.parts)) return std::nullopt;
    const std::string target = JoinPath(folder, file_name_);
    std::unique_ptr<Sha256> digest = sha256 ? NewSha256() : nullptr;
    if (!Transfer(url, target, digest.get())) return std::nullopt;
    if (digest && !EqualsIgnoreCase(Sha256Text(digest->Final()), *sha256)) {
      static_cast<void>(services_.files.RemoveFile(target));  // or it goes with the temporary folder
      services_.messages.ShowMessage(msg::kDownloadDigestMismatch, url.c_str());
      return std::nullopt;
    }
    return target;
  }

 private:
  // A failure is shown, unless Cancel caused it (the run then ends as cancelled).
  // `started`: when the call began, for the log to say that the time limit ended it.
  void ShowCallFailure(const char* call, ULONGLONG started = ::GetTickCount64()) {
    const CallFailure failure = LastCallFailure(call);
    if (services_.stop.Requested()) return;
    if (TimedOut(failure.error, started)) {
      services_.log.Write(FormatText("%s: no answer from the server within %lu seconds", call,
                                     static_cast<unsigned long>(kNetworkTimeoutSeconds)));
    }
    services_.messages.ShowMessage("%s", failure.Text().c_str());
  }

  // The session, the connection and the request, ready to read (an FTP refusal is silent).
  bool Connect(const UrlParts& parts) {
    session_.reset(::InternetOpenA("URL_download", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session_) {
      ShowCallFailure("InternetOpen");
      return false;
    }
    SetTimeouts(session_.get());
    const bool ftp = parts.scheme == UrlScheme::kFtp;
    connection_.reset(::InternetConnectA(session_.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                         ftp ? INTERNET_SERVICE_FTP : INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection_ && !ftp) ShowCallFailure("InternetConnect");
    if (!connection_) return false;
    if (ftp) {
      request_.reset(
          ::FtpOpenFileA(connection_.get(), parts.object.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0));
      if (request_) cut_.emplace(services_.stop, request_);
      return static_cast<bool>(request_);
    }
    // Certificates are checked: an https source is trusted only with a valid one.
    const DWORD secure = parts.scheme == UrlScheme::kHttps ? INTERNET_FLAG_SECURE : 0;
    request_.reset(::HttpOpenRequestA(connection_.get(), "GET", parts.object.c_str(), nullptr, nullptr, nullptr,
                                      kRequestFlags | secure, 0));
    if (!request_) {
      ShowCallFailure("HttpOpen request");
      return false;
    }
    cut_.emplace(services_.stop, request_);
    SetTimeouts(request_.get());
    const std::optional<DWORD> status = SendRequest();
    if (!status) return false;
    if (*status > 299) {
      services_.messages.ShowMessage(msg::kServerError, static_cast<int>(*status));
      return false;
    }
    if (std::optional<std::string> name = ServerFileName(request_.get())) file_name_ = std::move(*name);
    total_ = ContentLength(request_.get());
    return true;
  }

  // Sends the request until it has a status, offering the proxy's log-in box on 407.
  // The status, or none after a reported failure.
  std::optional<DWORD> SendRequest() {
    for (;;) {
      const ULONGLONG started = ::GetTickCount64();
      if (!::HttpSendRequestA(request_.get(), nullptr, 0, nullptr, 0)) {
        ShowCallFailure("HttpSendRequest", started);
        return std::nullopt;
      }
      DWORD status = 0, size = sizeof status;
      if (!::HttpQueryInfoA(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        ShowCallFailure("HttpQueryInfo");
        return std::nullopt;
      }
      // The proxy's log-in box waits for a person: an unattended run takes the 407.
      if (status == HTTP_STATUS_PROXY_AUTH_REQ && !variables_.TestFlag(var::kUnattended) &&
          ::InternetErrorDlg(owner_, request_.get(), ERROR_SUCCESS,
                             FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                 FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                             nullptr) == ERROR_INTERNET_FORCE_RETRY) {
        continue;
      }
      return status;
    }
  }

  // The bytes into the target, with the progress shown; a file cut short is never run.
  bool Transfer(const std::string& url, const std::string& target, Sha256* digest) {
    Opened<OutputFile> opened = services_.files.OpenForWriting(target);
    if (!opened.file) {
      services_.messages.ShowMessage(msg::kCantCreateDownload, target.c_str(), opened.error_number);
      return false;
    }
    const std::string_view shown = BaseName(url);
    DownloadRate rate;
    auto progress = [&](std::uint32_t received, std::uint32_t expected) {
      const DownloadRate::Step step = rate.Update(received, expected, std::time(nullptr), shown);
      services_.progress.ReportProgress(step.percent, step.line ? step.line->c_str() : nullptr);
    };
    InternetStream stream(request_.get());
    const TransferResult result = TransferDownload(stream, *opened.file, total_, progress, digest);
    opened.file.reset();
    if (result.Complete(total_)) return true;
    static_cast<void>(services_.files.RemoveFile(target));  // or it goes with the temporary folder
    if (services_.stop.Requested()) return false;           // cut by Cancel
    if (stream.timed_out()) {
      services_.log.Write(FormatText("%s: no data from the server for %lu seconds", url.c_str(),
                                     static_cast<unsigned long>(kNetworkTimeoutSeconds)));
    }
    if (result.write_fault)
      services_.messages.ShowMessage(msg::kCantWriteDownload, target.c_str());
    else
      services_.messages.ShowMessage(msg::kDownloadBrokeOff, url.c_str(), static_cast<unsigned long>(result.received));
    return false;
  }

  Services& services_;
  const InstallerVariables& variables_;
  HWND owner_;
  InternetHandle session_;
  InternetHandle connection_;
  InternetHandle request_;
  // Declared after the request it may close: released before it.
  std::optional<CutOnStop> cut_;
  std::string file_name_;
  std::uint32_t total_ = 0;
};

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
void RunStoppable(Services& services, Work& work) {
  const KernelHandle thread(::CreateThread(nullptr, 0, RunWork<Work>, &work, 0, nullptr));
  if (!thread) {
    work();
    return;
  }
  constexpr DWORD kStopPollMilliseconds = 100;
  constexpr DWORD kStopGraceMilliseconds = 1000;
  while (::WaitForSingleObject(thread.get(), kStopPollMilliseconds) == WAIT_TIMEOUT) {
    if (services.stop.Requested() && ::WaitForSingleObject(thread.get(), kStopGraceMilliseconds) == WAIT_TIMEOUT) {
      services.messages.EndRun(kExitCancelled);
    }
  }
}

}  // namespace

std::optional<std::string> DownloadUrl(Services& services, const InstallerVariables& variables, HWND owner,
                                       const std::string& url, const std::string& folder, const std::string* sha256) {
  std::optional<std::string> saved;
  auto work = [&] { saved = Download(services, variables, owner).Fetch(url, folder, sha256); };
  RunStoppable(services, work);
  return saved;
}

}  // namespace inst::win
