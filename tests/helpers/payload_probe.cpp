// Test helper: runs steps of the installer's own code on an installer file, as
// setup.exe would, and reports the variables they leave behind.
//
//   payload_probe.exe REPORT_FILE INSTALLER [STEP]...
//
// Steps before the payload is opened (in the order given):
//   arg:TEXT         apply TEXT as a command-line argument of setup.exe
// Steps after it (in the order given):
//   discard, phases:FOLDER, memory, and a first step idle: the benchmarks' own
//                    (benchmarks/probe_timing.h)
//   register         WriteProductValues, RegisterProduct and WriteUninstallEntry
//   shortcuts        CreateShortcuts
//   freespace:PATH   QueryFreeSpace of PATH (the result and the cluster size are reported)
//   driver:FEATURE   InstallDriver for that feature
//   regstring:ROOT|KEY|NAME   RegistryReadString (text and error reported)
//   regdword:ROOT|KEY|NAME    RegistryReadDword (number and error reported)
//   regtree:ROOT|KEY          RegistryDeleteTree (error reported)
//   regrawsz:ROOT|KEY|NAME|TEXT  stores TEXT as REG_SZ without its terminating zero
//
// Failures show the installer's own message boxes and end with exit code 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/support/command_line.h"
#include "core/manifest/manifest_parser.h"
#include "../../src/win/open_payload.h"
#include "../../src/win/process.h"
#include "../../src/win/shell_links.h"
#include "../../src/win/drivers.h"
#include "../../src/win/free_space.h"
#include "../../src/win/vendor_tools.h"
#include "probe_timing.h"

using inst::win::Process;

namespace {

std::vector<std::string> report_lines;

void WriteReport(const char* path, const std::vector<std::string>& lines) {
  FILE* out = std::fopen(path, "w");
  if (!out) return;
  for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
  std::fclose(out);
}

void Report(Process& process, const char* path) {
  std::vector<std::string> lines;
  for (const char* name : {"TmpDir", "InstDir", "ProgramFiles", "ShortcutFolder", "HoltekIDEPath", "ICONUN"}) {
    const std::string* value = process.variables().GetVariable(name);
    lines.push_back(std::string(name) + "=" + (value ? *value : "(unset)"));
  }
  lines.insert(lines.end(), report_lines.begin(), report_lines.end());
  WriteReport(path, lines);
}

std::vector<std::string> Fields(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const auto bar = text.find('|', start);
    fields.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos) return fields;
    start = bar + 1;
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
  report_lines.push_back("startup_seconds=" + std::to_string(inst::win::SecondsSinceCreation()));
  if (std::string(argv[3 < argc ? 3 : 0]) == "idle") {
    bench::ReportMemory(report_lines);
    WriteReport(argv[1], report_lines);
    return 0;
  }
  Process& process = inst::win::TheProcess();
  process.program.path = argv[2];
  const std::vector<std::string> steps(argv + 3, argv + argc);
  std::string rest;
  for (const std::string& step : steps) {
    if (Step(step, "arg:", rest)) inst::ApplyArgument(rest, process.variables(), process.state.exclude_list);
  }
  inst::DecideRunMode(process.variables());

  const double started = bench::Seconds();
  inst::win::OpenPayload(process);
  report_lines.push_back("open_seconds=" + std::to_string(bench::Seconds() - started));

  inst::win::WinToolIntegrations integrations(process.state, process.services, process.session.product);
  for (const std::string& step : steps) {
    if (bench::RunTimingStep(process, step, report_lines)) {
    } else if (step == "register") {
      process.session.product.WriteProductValues();
      process.session.product.RegisterProduct(integrations);
      process.session.product.WriteUninstallEntry();
    } else if (step == "shortcuts") {
      inst::win::CreateShortcuts(process.state, process.services.messages, process.session.extractor);
    } else if (Step(step, "freespace:", rest)) {
      const std::uint32_t megabytes = inst::win::QueryFreeSpace(process.state, rest).value_or(0);
      report_lines.push_back("free_mb=" + std::to_string(megabytes));
      report_lines.push_back("cluster_size=" + std::to_string(process.state.cluster_size));
    } else if (Step(step, "regstring:", rest)) {
      const auto f = Fields(rest);
      const inst::RegistryValue value =
          process.services.registry.RegistryReadString(std::stoi(f.at(0)), f.at(1), f.at(2));
      report_lines.push_back("regstring=" + std::to_string(value.error) + "|" + value.text);
    } else if (Step(step, "regdword:", rest)) {
      const auto f = Fields(rest);
      std::uint32_t number = 0;
      const std::uint32_t error =
          process.services.registry.RegistryReadDword(std::stoi(f.at(0)), f.at(1), f.at(2), number);
      report_lines.push_back("regdword=" + std::to_string(error) + "|" + std::to_string(number));
    } else if (Step(step, "regtree:", rest)) {
      const auto f = Fields(rest);
      report_lines.push_back("regtree=" +
                             std::to_string(process.services.registry.RegistryDeleteTree(std::stoi(f.at(0)), f.at(1))));
    } else if (Step(step, "regrawsz:", rest)) {
      const auto f = Fields(rest);
      HKEY key = nullptr;
      if (RegCreateKeyExA(inst::win::RegistryRoot(std::stoi(f.at(0))), f.at(1).c_str(), 0, nullptr, 0, KEY_WRITE,
                          nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, f.at(2).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(f.at(3).data()),
                       static_cast<DWORD>(f.at(3).size()));
        RegCloseKey(key);
      }
    } else if (Step(step, "driver:", rest)) {
      inst::win::InstallDriver(process.services, process.state, nullptr,
                               *inst::FindFeature(process.state.lists, rest, process.services.messages));
    }
  }
  Report(process, argv[1]);
  process.services.messages.QuitInstaller(0);
  return 0;
}
