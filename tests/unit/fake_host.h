// A message host that records every box and turns the end of the process into an
// exception, so a test can observe a fatal error and go on.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "core/install/installer_state.h"
#include "core/support/messages.h"

namespace inst::testing {

struct ProcessEnded {
  int exit_code;
};

struct RecordedBox {
  std::string title;
  std::string text;
  unsigned style;
};

class FakeHost final : public MessageHost {
 public:
  int ShowBox(const std::string& title, const std::string& text, unsigned style) override {
    boxes.push_back({title, text, style});
    if (answers.empty()) return box::kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void QuitInstaller(int exit_code) override { quits.push_back(exit_code); }
  [[noreturn]] void EndProcess(int exit_code) override { throw ProcessEnded{exit_code}; }
  void WriteStandardError(const std::string& text) override { standard_error += text; }

  std::vector<RecordedBox> boxes;
  std::deque<int> answers;
  std::vector<int> quits;
  std::string standard_error;
};

// The exit code the process ends with while `run` runs; -1 when it does not end.
template <typename Run>
int ExitCodeOf(Run&& run) {
  try {
    run();
  } catch (const ProcessEnded& ended) {
    return ended.exit_code;
  }
  return -1;
}

// Environment lookup for tests: no variable is set.
inline std::optional<std::string> NoEnvironment(const std::string&) { return std::nullopt; }

// The state, the message functions over a FakeHost, and the fatal handler that
// every test of the run's logic starts from.
struct RunFixture {
  RunFixture() : state(NoEnvironment), messages(host, state.variables) {
    state.variables.SetFatalHandler([this](const std::string& text) { messages.FatalText(text); });
  }
  FakeHost host;
  InstallerState state;
  Messages messages;
};

}  // namespace inst::testing
