// The process-wide state of one installer run: the variable store and the lists
// that every part of the installer shares. One instance lives in the Win32 layer's
// process object; unit tests make their own.
#pragma once
#include <string>
#include <vector>

#include "variables.h"

namespace inst {

struct InstallerState {
  explicit InstallerState(const InstallerVariables::EnvironmentLookup& environment) : variables(environment) {}

  InstallerVariables variables;
  // Component names left out by "--no-" options.
  std::vector<std::string> exclude_list;
  // Temporary files and folders, in the order they were made; removed in reverse.
  std::vector<std::string> temp_list;
};

}  // namespace inst
