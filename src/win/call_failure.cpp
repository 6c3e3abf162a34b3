#include "win/call_failure.h"

#include <windows.h>

#include "core/support/text.h"

namespace inst::win {

std::string CallFailure::Text() const { return FormatText("%s failed: %d", call, static_cast<int>(error)); }

std::string CallFailure::SystemText() const {
  char* buffer = nullptr;
  const DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string CallFailure::Report() const { return Text() + " " + SystemText(); }

CallFailure LastCallFailure(const char* call) { return {call, static_cast<std::uint32_t>(::GetLastError())}; }

}  // namespace inst::win
