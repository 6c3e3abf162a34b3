// The maker's tool integrations on the real system: the Holtek IDE's ini files,
// the CFASM tool paths and the MPLAB plug-in's self-registration.
#pragma once
#include "core/install/vendor_tools.h"
#include "process.h"

namespace inst::win {

class WinToolIntegrations final : public ToolIntegrations {
 public:
  explicit WinToolIntegrations(Process& process) : process_(process) {}
  void ConfigureHoltekIDE() override;
  void RegisterFasmTools() override;
  void RegisterMplabPlugin() override;

 private:
  Process& process_;
};

}  // namespace inst::win
