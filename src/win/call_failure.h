// A failed Win32 call as it is reported: the call's name, the error the system
// gave, and the system's own text for that error.
#pragma once
#include <cstdint>
#include <string>

namespace inst::win {

struct CallFailure {
  const char* call;
  std::uint32_t error;

  // "CALL failed: ERROR", as every report of a failed call starts.
  std::string Text() const;
  // The system's words for the error, line ends removed; "" when it has none.
  std::string SystemText() const;
  // Text() and then SystemText(), for the run's log.
  std::string Report() const;
};

// The thread's last error for `call`, read before anything else can change it.
CallFailure LastCallFailure(const char* call);

}  // namespace inst::win
