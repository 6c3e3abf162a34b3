#include "probe_timing.h"

#include <windows.h>
#include <psapi.h>

#include <memory>

using inst::win::Process;

namespace bench {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void ReportMemory(std::vector<std::string>& report_lines) {
  // The commit charge: the process's private bytes (Wine leaves PrivateUsage at 0).
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  report_lines.push_back("private_bytes=" + std::to_string(static_cast<unsigned long long>(memory.PagefileUsage)));
  report_lines.push_back("peak_working_set=" +
                         std::to_string(static_cast<unsigned long long>(memory.PeakWorkingSetSize)));
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
  bool CreateFolder(const std::string& path, const char* access) override {
    ScopedTimer timer(times_.folders);
    return files_.CreateFolder(path, access);
  }
  std::optional<std::string> LinkTarget(const std::string& link) override { return files_.LinkTarget(link); }
  bool SetFolderAccess(const std::string& path, const char* access) override {
    return files_.SetFolderAccess(path, access);
  }
  bool RemoveFolder(const std::string& path) override { return files_.RemoveFolder(path); }
  bool RemoveFile(const std::string& path) override { return files_.RemoveFile(path); }
  bool RenameFile(const std::string& from, const std::string& to) override { return files_.RenameFile(from, to); }
  bool ScheduleAtRestart(const std::string& from, const std::string& to) override {
    return files_.ScheduleAtRestart(from, to);
  }
  std::vector<std::string> ListFolder(const std::string& path) override { return files_.ListFolder(path); }
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

namespace {

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

}  // namespace

bool RunTimingStep(Process& process, const std::string& step, std::vector<std::string>& report_lines) {
  const double started = Seconds();
  if (step.rfind("phases:", 0) == 0) {
    const std::string folder = step.substr(7);
    // The folder is the installation's: its files are written only inside it.
    process.state.variables.SetVariable("InstDir", folder);
    PhaseTimes times;
    TimedFileSystem files(process.services.files, times);
    inst::FileExtractor extractor(process.state, files, process.services.messages, process.services.progress);
    extractor.SetStream(std::make_unique<TimedStream>(*process.session.extractor.stream(), times));
    ExtractEverything(extractor, process, folder, false);
    report_lines.push_back("extract_seconds=" + std::to_string(Seconds() - started));
    for (const auto& [name, seconds] : {std::pair{"folders", times.folders},
                                        {"create", times.create},
                                        {"write", times.write},
                                        {"close", times.close},
                                        {"inflate", times.inflate}}) {
      report_lines.push_back(std::string(name) + "_seconds=" + std::to_string(seconds));
    }
  } else if (step == "memory") {
    ReportMemory(report_lines);
  } else if (step == "discard") {
    ExtractEverything(process.session.extractor, process, "", true);
    report_lines.push_back("extract_seconds=" + std::to_string(Seconds() - started));
  } else {
    return false;
  }
  return true;
}

}  // namespace bench
