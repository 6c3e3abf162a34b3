// Test helper: opens an installer's payload with the installer's own code, as
// setup.exe does at start-up, then reports the variables the payload set and,
// when asked, extracts every product file under a folder.
//
//   payload_probe.exe REPORT_FILE INSTALLER [DESTINATION | -]
//
// With "-" every file record is read and discarded (the stream is gone through).
// Failures show the installer's own message boxes and end with exit code 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "../../src/win/open_payload.h"
#include "../../src/win/process.h"

using inst::win::Process;

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Timings of the two phases, for the benchmark.
double open_seconds = 0;
double extract_seconds = 0;

void Report(Process& process, const char* path) {
  FILE* out = std::fopen(path, "w");
  if (!out) return;
  std::fprintf(out, "open_seconds=%.4f\nextract_seconds=%.4f\n", open_seconds, extract_seconds);
  for (const char* name : {"TmpDir", "InstDir", "Install", "OrderingURL", "ReferralID", "Product", "Version"}) {
    const std::string* value = process.variables().GetVariable(name);
    std::fprintf(out, "%s=%s\n", name, value ? value->c_str() : "(unset)");
  }
  std::fprintf(out, "resources=%zu\n", process.state.lists.resource_list.size());
  std::fprintf(out, "file_ordinal=%u\n", process.state.file_ordinal);
  std::fclose(out);
}

void ExtractEverything(Process& process, const std::string& destination) {
  if (!process.state.lists.feature_list) return;
  const bool discard = destination == "-";
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  Process& process = inst::win::TheProcess();
  process.program_path = argv[2];
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  const double started = Seconds();
  inst::win::OpenPayload(process);
  const double opened = Seconds();
  if (argc > 3) ExtractEverything(process, argv[3]);
  open_seconds = opened - started;
  extract_seconds = Seconds() - opened;
  Report(process, argv[1]);
  process.messages.QuitInstaller(0);
  return 0;
}
