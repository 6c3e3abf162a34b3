// How the builder reports a fault: one exception type carrying the whole message,
// caught in main, which removes any partial output and exits non-zero.
#pragma once
#include <stdexcept>
#include <string>

#include "core/install/installer_state.h"
#include "core/support/messages.h"

namespace mkinstaller {

struct ToolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Lets the installer's own parser and container code report to the builder: a
// fatal message becomes a ToolError.
class ToolMessageHost final : public inst::MessageHost {
 public:
  int ShowBox(const std::string&, const std::string& text, unsigned) override {
    last_text = text;
    return inst::box::kIdOk;
  }
  void QuitInstaller(int) override {}
  [[noreturn]] void EndProcess(int) override { throw ToolError(last_text); }

  std::string last_text;
};

// What the installer's code needs to run inside the builder: a state without any
// environment and message functions that report through ToolError.
struct ToolContext {
  ToolContext() : state([](const std::string&) { return std::nullopt; }), messages(host, state.variables) {
    state.variables.SetFatalHandler([this](const std::string& text) { messages.FatalText(text); });
  }
  ToolContext(const ToolContext&) = delete;
  ToolContext& operator=(const ToolContext&) = delete;

  ToolMessageHost host;
  inst::InstallerState state;
  inst::Messages messages;
};

}  // namespace mkinstaller
