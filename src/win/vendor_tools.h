// The maker's tool integrations on the real system: the Holtek IDE's ini files,
// the CFASM tool paths and the MPLAB plug-in's self-registration.
#pragma once
#include "core/install/vendor_tools.h"
#include "win/process.h"

namespace inst::win {

class WinToolIntegrations final : public ToolIntegrations {
 public:
  WinToolIntegrations(InstallerState& state, Services& services, ProductRegistration& product)
      : state_(state), services_(services), product_(product) {}
  void ConfigureHoltekIDE() override;
  void RegisterFasmTools() override;
  void RegisterMplabPlugin() override;

 private:
  InstallerState& state_;
  Services& services_;
  ProductRegistration& product_;
};

}  // namespace inst::win
