// External installers that provide a feature: found, started with their arguments,
// waited for while the window stays alive, and judged by their exit code.
#pragma once
#include <cstdint>
#include <string>

#include "core/manifest/manifest.h"
#include "win/process.h"

namespace inst::win {

// What RunAndWait waits for: the program, or also every process it starts (an
// installed copy's remover hands its last deletions to a script of its own).
enum class WaitFor { kProgram, kProgramAndItsChildren };

// True when the program started and ended with exit code 0 (or 3010). Otherwise
// `failure`, when given, gets the error of starting it or its exit code.
// `window`: the wizard's, which a wait on its own thread keeps answering (none headless).
bool RunAndWait(Services& services, InstallerState& state, HWND window, const std::string& file,
                const std::string& parameters, WaitFor wait_for = WaitFor::kProgram, std::uint32_t* failure = nullptr);

// Runs the first of the feature's installers that succeeds; asks what to do when
// none can be found or none succeeds.
void RunExternalInstallers(InstallerState& state, Services& services, Session& session, const Program& program,
                           FeatureRecord& feature);

}  // namespace inst::win
