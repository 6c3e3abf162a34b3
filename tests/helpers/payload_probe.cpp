// Test helper: runs steps of the installer's own code on an installer file, as
// setup.exe would, and reports the variables they leave behind.
//
//   payload_probe.exe REPORT_FILE INSTALLER [STEP]...
//
// Steps before the payload is opened (in the order given):
//   arg:TEXT         apply TEXT as a command-line argument of setup.exe
// Steps after it (in the order given):
//   extract:FOLDER   extract every product file under FOLDER
//   discard          read every file record and discard it (the whole stream)
//   register         RegisterProduct
//   shortcuts        CreateShortcuts
//   unregister       UnregisterProduct (its result is reported)
//   freespace:PATH   QueryFreeSpace of PATH (the result and the cluster size are reported)
//   driver:FEATURE   InstallDriver for that feature
//
// Failures show the installer's own message boxes and end with exit code 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "../../src/core/command_line.h"
#include "../../src/core/manifest_parser.h"
#include "../../src/win/open_payload.h"
#include "../../src/win/process.h"
#include "../../src/win/shell_links.h"
#include "../../src/win/tool_integrations.h"

using inst::win::Process;

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::vector<std::string> report_lines;

void Report(Process& process, const char* path) {
  FILE* out = std::fopen(path, "w");
  if (!out) return;
  for (const char* name : {"TmpDir", "InstDir", "Install", "HeadlessInstall", "OrderingURL", "ReferralID", "Product",
                           "Version", "ProgramFiles", "ShortcutFolder", "HoltekIDEPath", "SETUP", "ICONUN"}) {
    const std::string* value = process.variables().GetVariable(name);
    std::fprintf(out, "%s=%s\n", name, value ? value->c_str() : "(unset)");
  }
  std::fprintf(out, "resources=%zu\n", process.state.lists.resource_list.size());
  std::fprintf(out, "file_ordinal=%u\n", process.state.file_ordinal);
  std::fprintf(out, "tessara_path=%s\n", process.state.tessara_path.c_str());
  for (const std::string& line : report_lines) std::fprintf(out, "%s\n", line.c_str());
  std::fclose(out);
}

void ExtractEverything(Process& process, const std::string& destination, bool discard) {
  if (!process.state.lists.feature_list) return;
  for (const inst::FeaturePtr& feature : *process.state.lists.feature_list) {
    for (const inst::FolderRecord& folder : feature->folders) {
      const std::string path = folder.path.empty() ? destination : destination + "\\" + folder.path;
      if (!discard) process.extractor.CreateFolderPath(path);
      for (const inst::FileRecord& file : folder.files) {
        if (discard) process.extractor.ExtractFile(std::nullopt, file.size);
        else process.extractor.ExtractFile(path + "\\" + file.name, file.size);
      }
    }
  }
}

bool Step(const std::string& step, const char* prefix, std::string& rest) {
  const std::string p(prefix);
  if (step.rfind(p, 0) != 0) return false;
  rest = step.substr(p.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  Process& process = inst::win::TheProcess();
  process.program_path = argv[2];
  const std::vector<std::string> steps(argv + 3, argv + argc);
  std::string rest;
  for (const std::string& step : steps) {
    if (Step(step, "arg:", rest)) inst::ApplyArgument(rest, process.variables(), process.state.exclude_list);
  }
  inst::DecideRunMode(process.variables());
  std::srand(static_cast<unsigned>(std::time(nullptr)));

  double started = Seconds();
  inst::win::OpenPayload(process);
  report_lines.push_back("open_seconds=" + std::to_string(Seconds() - started));

  inst::win::WinToolIntegrations integrations(process);
  for (const std::string& step : steps) {
    started = Seconds();
    if (Step(step, "extract:", rest)) {
      ExtractEverything(process, rest, false);
      report_lines.push_back("extract_seconds=" + std::to_string(Seconds() - started));
    } else if (step == "discard") {
      ExtractEverything(process, "", true);
      report_lines.push_back("extract_seconds=" + std::to_string(Seconds() - started));
    } else if (step == "register") {
      process.product.RegisterProduct(integrations);
    } else if (step == "shortcuts") {
      inst::win::CreateShortcuts(process);
    } else if (step == "unregister") {
      report_lines.push_back(std::string("unregistered=") + (process.product.UnregisterProduct() ? "yes" : "no"));
    } else if (Step(step, "freespace:", rest)) {
      const std::uint32_t megabytes = inst::win::QueryFreeSpace(process, rest);
      report_lines.push_back("free_mb=" + std::to_string(megabytes));
      report_lines.push_back("cluster_size=" + std::to_string(process.state.cluster_size));
    } else if (Step(step, "driver:", rest)) {
      inst::win::InstallDriver(process, *inst::FindFeature(process.state.lists, rest, process.messages));
    }
  }
  Report(process, argv[1]);
  process.messages.QuitInstaller(0);
  return 0;
}
