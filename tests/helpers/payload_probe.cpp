// Test helper: runs steps of the installer's own code on an installer file, as
// setup.exe would, and reports the variables they leave behind.
//
//   payload_probe.exe REPORT_FILE INSTALLER [STEP]...
//
// Steps before the payload is opened (in the order given):
//   arg:TEXT         apply TEXT as a command-line argument of setup.exe
// Steps after it (in the order given):
//   discard          read every file record and discard it (the whole stream)
//   phases:FOLDER    extract every product file under FOLDER, timing each kind of
//                    work (folders, creating, writing and closing files, inflating)
//   memory           the process's private bytes and peak working set, now
// A first step "idle" reports the memory at once and opens nothing: the same
// program doing nothing, the baseline for "memory".
//   register         RegisterProduct
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
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "core/support/command_line.h"
#include "core/manifest/manifest_parser.h"
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

void ReportMemory() {
  // The commit charge: the process's private bytes (Wine leaves PrivateUsage at 0).
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  report_lines.push_back("private_bytes=" + std::to_string(static_cast<unsigned long long>(memory.PagefileUsage)));
  report_lines.push_back("peak_working_set=" +
                         std::to_string(static_cast<unsigned long long>(memory.PeakWorkingSetSize)));
}

// Seconds from the process's creation to now: the system's start-up of the program.
double SecondsSinceCreation() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimePreciseAsFileTime(&now);
  auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(now) - ticks(created)) / 1e7;
}

// Seconds spent in each kind of work, added up by the timing wrappers below.
struct PhaseTimes {
  double folders = 0, create = 0, write = 0, close = 0, inflate = 0;
};

class ScopedTimer {
 public:
  explicit ScopedTimer(double& total) : total_(total), started_(Seconds()) {}
  ~ScopedTimer() { total_ += Seconds() - started_; }

 private:
  double& total_;
  double started_;
};

class TimedOutputFile final : public inst::OutputFile {
 public:
  TimedOutputFile(std::unique_ptr<inst::OutputFile> file, PhaseTimes& times) : file_(std::move(file)), times_(times) {}
  ~TimedOutputFile() override {
    ScopedTimer timer(times_.close);
    file_.reset();
  }
  bool Write(const void* data, std::size_t size) override {
    ScopedTimer timer(times_.write);
    return file_->Write(data, size);
  }

 private:
  std::unique_ptr<inst::OutputFile> file_;
  PhaseTimes& times_;
};

// The real file system, timed; folder work counts under "folders".
class TimedFileSystem final : public inst::FileSystem {
 public:
  TimedFileSystem(inst::FileSystem& files, PhaseTimes& times) : files_(files), times_(times) {}
  bool FileExists(const std::string& path) override {
    ScopedTimer timer(times_.folders);
    return files_.FileExists(path);
  }
  bool IsDirectory(const std::string& path) override {
    ScopedTimer timer(times_.folders);
    return files_.IsDirectory(path);
  }
  bool CreateFolder(const std::string& path) override {
    ScopedTimer timer(times_.folders);
    return files_.CreateFolder(path);
  }
  bool RemoveFolder(const std::string& path) override { return files_.RemoveFolder(path); }
  bool RemoveFile(const std::string& path) override { return files_.RemoveFile(path); }
  std::optional<std::string> ReadWholeFile(const std::string& path) override { return files_.ReadWholeFile(path); }
  inst::Opened<inst::OutputFile> OpenForWriting(const std::string& path) override {
    ScopedTimer timer(times_.create);
    inst::Opened<inst::OutputFile> opened = files_.OpenForWriting(path);
    if (opened.file) opened.file = std::make_unique<TimedOutputFile>(std::move(opened.file), times_);
    return opened;
  }
  inst::Opened<inst::InputFile> OpenForReading(const std::string& path) override { return files_.OpenForReading(path); }
  std::uint64_t FileSize(const std::string& path) override { return files_.FileSize(path); }
  std::string ErrorText(int error_number) override { return files_.ErrorText(error_number); }

 private:
  inst::FileSystem& files_;
  PhaseTimes& times_;
};

// The process's payload stream (still owned by its extractor), timed.
class TimedStream final : public inst::PayloadStream {
 public:
  TimedStream(inst::PayloadStream& stream, PhaseTimes& times) : stream_(stream), times_(times) {}
  int ReadByte() override {
    ScopedTimer timer(times_.inflate);
    return stream_.ReadByte();
  }
  long Read(void* buffer, std::size_t size) override {
    ScopedTimer timer(times_.inflate);
    return stream_.Read(buffer, size);
  }

 private:
  inst::PayloadStream& stream_;
  PhaseTimes& times_;
};

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

void ExtractEverything(inst::FileExtractor& extractor, Process& process, const std::string& destination, bool discard) {
  if (!process.state.lists.feature_list) return;
  for (const inst::FeaturePtr& feature : *process.state.lists.feature_list) {
    for (const inst::FolderRecord& folder : feature->folders) {
      const std::string path = folder.path.empty() ? destination : destination + "\\" + folder.path;
      if (!discard) extractor.CreateFolderPath(path);
      for (const inst::FileRecord& file : folder.files) {
        if (discard)
          extractor.ExtractFile(std::nullopt, file.size);
        else
          extractor.ExtractFile(path + "\\" + file.name, file.size);
      }
    }
  }
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
  report_lines.push_back("startup_seconds=" + std::to_string(SecondsSinceCreation()));
  if (std::string(argv[3 < argc ? 3 : 0]) == "idle") {
    ReportMemory();
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
  std::srand(static_cast<unsigned>(std::time(nullptr)));

  double started = Seconds();
  inst::win::OpenPayload(process);
  report_lines.push_back("open_seconds=" + std::to_string(Seconds() - started));

  inst::win::WinToolIntegrations integrations(process);
  for (const std::string& step : steps) {
    started = Seconds();
    if (Step(step, "phases:", rest)) {
      PhaseTimes times;
      TimedFileSystem files(process.services.files, times);
      inst::FileExtractor extractor(process.state, files, process.services.messages, process.services.progress);
      extractor.SetStream(std::make_unique<TimedStream>(*process.session.extractor.stream(), times));
      ExtractEverything(extractor, process, rest, false);
      report_lines.push_back("extract_seconds=" + std::to_string(Seconds() - started));
      for (const auto& [name, seconds] : {std::pair{"folders", times.folders},
                                          {"create", times.create},
                                          {"write", times.write},
                                          {"close", times.close},
                                          {"inflate", times.inflate}}) {
        report_lines.push_back(std::string(name) + "_seconds=" + std::to_string(seconds));
      }
    } else if (step == "memory") {
      ReportMemory();
    } else if (step == "discard") {
      ExtractEverything(process.session.extractor, process, "", true);
      report_lines.push_back("extract_seconds=" + std::to_string(Seconds() - started));
    } else if (step == "register") {
      process.session.product.RegisterProduct(integrations);
    } else if (step == "shortcuts") {
      inst::win::CreateShortcuts(process);
    } else if (Step(step, "freespace:", rest)) {
      const std::uint32_t megabytes = inst::win::QueryFreeSpace(process, rest);
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
      inst::win::InstallDriver(process, *inst::FindFeature(process.state.lists, rest, process.services.messages));
    }
  }
  Report(process, argv[1]);
  process.services.messages.QuitInstaller(0);
  return 0;
}
