// What the fuzz targets share: the unit tests' in-memory system and a host whose
// end of the process is an exception, so that one input's fatal error ends only
// that input.
#pragma once
#include <string>

#include "core/manifest/manifest_parser.h"
#include "core/install/installer_state.h"
#include "core/support/messages.h"
#include "fake_host.h"

namespace inst::fuzz {

struct NoHooks final : ManifestHooks {
  void OnResource(const std::string&, const std::string&, const std::string&, std::optional<std::uint32_t>,
                  int) override {}
  std::string ExpandEnvironment(const std::string& value) override { return value; }
  void OnVariablesEnd() override {}
};

// One installer run's state, messages and host.
struct Run {
  Run() : state(testing::NoEnvironment), messages(host, state.variables) {
    state.variables.SetFatalHandler([this](const std::string& text) { messages.FatalText(text); });
  }
  testing::FakeHost host;
  InstallerState state;
  Messages messages;
};

}  // namespace inst::fuzz
