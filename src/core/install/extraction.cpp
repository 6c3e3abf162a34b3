#include "core/install/extraction.h"

#include <algorithm>
#include <vector>

#include "core/install/confinement.h"
#include "core/install/install_messages.h"
#include "core/payload/installed_copy.h"
#include "core/payload/payload_reader.h"
#include "core/support/limits.h"
#include "core/support/text.h"

namespace inst {

namespace {

// "Write error on PATH", and the system's words for it (a full disk) when it gave some.
std::string WriteErrorText(const OutputFile& out, const std::string& path) {
  const std::string reason = out.ErrorText();
  return FormatText(msg::kWriteError, path.c_str()) + (reason.empty() ? "" : "\n" + reason);
}

}  // namespace

int FileExtractor::Percent() const {
  const std::uint64_t unit = state_.progress_unit;
  return unit == 0 ? 0 : static_cast<int>((state_.progress_done + unit - 1) / unit);
}

void FileExtractor::CountProgress(std::uint64_t bytes) {
  if (state_.progress_unit == 0) return;
  state_.progress_done += static_cast<std::uint32_t>(bytes);
  progress_.ReportProgress(Percent(), nullptr);
}

void FileExtractor::StopIfRequested(std::unique_ptr<OutputFile>& out) {
  if (!progress_.StopRequested()) return;
  out.reset();  // closed, so that taking the run back can delete it
  messages_.EndRun(kExitCancelled);
}

std::unique_ptr<OutputFile> FileExtractor::OpenDestination(const std::string& path) {
  RefuseOutsideInstallation(state_.variables, messages_, path);
  state_.journal.BeforeWriting(path);
  for (;;) {
    Opened<OutputFile> opened = files_.OpenForWriting(path);
    if (opened.file) {
      state_.lists.installed_files.push_back(path);
      return std::move(opened.file);
    }
    int exit_code = kExitFailure;
    if (opened.in_use) {
      const int answer =
          messages_.AskAbortRetryIgnore(msg::kCantCreateFileTitle, msg::kFileInUseForWriting, path.c_str());
      if (answer == box::kIdRetry) {
        state_.journal.BeforeWritingAgain(path);
        continue;
      }
      if (answer == box::kIdIgnore) return OpenReplacementAtRestart(path);
      exit_code = kExitCancelled;
    }
    // The system's words when it gave some (access denied, a missing folder), else the runtime's number.
    if (!opened.error_text.empty())
      messages_.FatalExit(exit_code, msg::kCantCreateFileText, path.c_str(), opened.error_text.c_str());
    messages_.FatalExit(exit_code, msg::kCantCreateFileError, path.c_str(), opened.error_number);
  }
}

// The new file goes beside the one in use, and the system puts it in its place when
// the computer next starts. The installation lists the file by its own name.
std::unique_ptr<OutputFile> FileExtractor::OpenReplacementAtRestart(const std::string& path) {
  const std::string beside = path + kReplacementSuffix;
  state_.journal.BeforeWriting(beside);
  Opened<OutputFile> opened = files_.OpenForWriting(beside);
  if (!opened.file) {
    messages_.FatalError(
        msg::kCantCreateFileText, beside.c_str(),
        opened.error_text.empty() ? files_.ErrorText(opened.error_number).c_str() : opened.error_text.c_str());
  }
  if (!files_.ScheduleAtRestart(beside, path)) {
    opened.file.reset();
    messages_.FatalError(msg::kCantLeaveForRestart, path.c_str());
  }
  state_.restart_needed = true;
  state_.lists.installed_files.push_back(path);
  progress_.ReportProgress(Percent(), FormatText(msg::kReplaceAtRestart, path.c_str(), beside.c_str()).c_str());
  return std::move(opened.file);
}

std::uint32_t FileExtractor::ReadFileSize(const std::optional<std::string>& destination, std::uint32_t expected) {
  if (!stream_) messages_.InstallerCorrupt();
  const std::uint32_t size = ReadStreamWord(*stream_, messages_);
  if (size != expected) {
    messages_.FatalError(msg::kFileSizeMismatch, static_cast<int>(state_.file_ordinal),
                         destination ? destination->c_str() : "", static_cast<long>(expected), static_cast<long>(size));
  }
  return size;
}

void FileExtractor::FailWrite(std::unique_ptr<OutputFile>& out, const std::string& destination) {
  const std::string text = WriteErrorText(*out, destination);
  const int exit_code = out->DiskFull() ? kExitDiskFull : kExitFailure;
  out.reset();
  messages_.FatalText(text, exit_code);
}

void FileExtractor::ExtractFile(const std::optional<std::string>& destination, std::uint32_t expected_size) {
  // Read before the destination is opened: a fatal error with the file open would
  // leave it where the clean-up cannot delete it.
  const std::uint32_t size = ReadFileSize(destination, expected_size);
  // A reinstall, a repair or the next patch level finds most files as they should be:
  // those are compared, not backed up and written again.
  std::unique_ptr<InputFile> there = destination ? OpenIfSameSize(*destination, size) : nullptr;
  std::string same;  // what was read so far, all of it what the file there holds
  std::unique_ptr<OutputFile> out;
  auto open = [&] {
    out = OpenDestination(*destination);
    CountProgress(kPerFileProgress);
  };
  if (destination && !there) open();
  std::vector<char> buffer(kCopyChunk), theirs(kCopyChunk);
  std::uint32_t remaining = size;
  while (remaining > 0) {
    const long got = stream_->Read(buffer.data(), std::min<std::size_t>(remaining, buffer.size()));
    if (got <= 0) {
      out.reset();
      messages_.InstallerCorrupt();
    }
    if (there) {
      if (there->Read(theirs.data(), static_cast<std::size_t>(got)) == got &&
          std::equal(buffer.begin(), buffer.begin() + got, theirs.begin())) {
        same.append(buffer.data(), static_cast<std::size_t>(got));
        CountProgress(static_cast<std::uint64_t>(got));
        StopIfRequested(out);
        remaining -= static_cast<std::uint32_t>(got);
        continue;
      }
      // It differs: written as any file is, from its start.
      there.reset();
      open();
      if (!same.empty() && !out->Write(same.data(), same.size())) FailWrite(out, *destination);
      same.clear();
    }
    if (out) {
      if (!out->Write(buffer.data(), static_cast<std::size_t>(got))) FailWrite(out, *destination);
      CountProgress(static_cast<std::uint64_t>(got));
      StopIfRequested(out);
    }
    remaining -= static_cast<std::uint32_t>(got);
  }
  out.reset();
  if (there) {
    // The same, byte for byte: installed as it is.
    there.reset();
    state_.lists.installed_files.push_back(*destination);
    CountProgress(kPerFileProgress);
  }
  ++state_.file_ordinal;
}

std::unique_ptr<InputFile> FileExtractor::OpenIfSameSize(const std::string& path, std::uint32_t size) {
  // Larger files are written as before: the bytes compared are held until the end.
  constexpr std::uint32_t kMaxComparedBytes = 16u << 20;
  RefuseOutsideInstallation(state_.variables, messages_, path);
  if (size > kMaxComparedBytes) return nullptr;
  // A folder this run made holds nothing yet: no question to the file system.
  if (const auto parent = ParentFolder(path); parent && state_.journal.InFolderMadeByRun(*parent)) return nullptr;
  // One question for the size; a missing file or a folder then fails to open.
  if (files_.FileSize(path) != size) return nullptr;
  Opened<InputFile> opened = files_.OpenForReading(path);
  return std::move(opened.file);
}

void FileExtractor::CopyInstallFile(const std::string& source, const std::string& destination, std::uint64_t size,
                                    bool own_program) {
  Opened<InputFile> in = files_.OpenForReading(source);
  if (!in.file) {
    messages_.FatalError(msg::kCantOpenFile, source.c_str(), files_.ErrorText(in.error_number).c_str());
  }
  RefuseOutsideInstallation(state_.variables, messages_, destination);
  state_.journal.BeforeWriting(destination);
  Opened<OutputFile> out = files_.OpenForWriting(destination);
  if (!out.file) {
    messages_.FatalError(msg::kCantCreateFileText, destination.c_str(), files_.ErrorText(out.error_number).c_str());
  }
  state_.lists.installed_files.push_back(destination);
  CountProgress(kPerFileProgress);
  std::vector<char> buffer(kCopyChunk);
  std::uint64_t remaining = size;
  while (remaining > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffer.size()));
    // Both files are closed before a fatal error, so that the clean-up can delete the copy.
    const bool read = in.file->Read(buffer.data(), want) == static_cast<long>(want);
    if (read && own_program && remaining == size) RestoreOwnProgramHeaders(buffer.data(), want, size);
    const bool written = read && out.file->Write(buffer.data(), want);
    if (!written) {
      const std::string text =
          read ? WriteErrorText(*out.file, destination) : FormatText(msg::kShortRead, source.c_str());
      const int exit_code = read && out.file->DiskFull() ? kExitDiskFull : kExitFailure;
      in.file.reset();
      out.file.reset();
      messages_.FatalText(text, exit_code);
    }
    CountProgress(want);
    StopIfRequested(out.file);
    remaining -= want;
  }
}

bool FileExtractor::CreateFolderPath(const std::string& requested, const char* access) {
  const std::string path = NormalizeFolder(requested.substr(0, kMaxFormattedLength));
  if (files_.FileExists(path)) {
    if (!files_.IsDirectory(path)) messages_.FatalError(msg::kFolderIsNotAFolder, path.c_str());
    // A volume without access lists (FAT) takes none: nobody's rights are kept there.
    if (access) static_cast<void>(files_.SetFolderAccess(path, access));
    return false;
  }
  RefuseOutsideInstallation(state_.variables, messages_, path, true);
  // "C:\" is never cut down to "C:".
  if (const auto parent = ParentFolder(path); parent && parent->size() > 2) CreateFolderPath(std::string(*parent));
  state_.journal.Note({JournalEntry::kNewFolder, 0, path});
  if (!files_.CreateFolder(path, access)) messages_.FatalError(msg::kFailedToCreateFolder, path.c_str());
  state_.lists.installed_folders.push_back(path);
  return true;
}

}  // namespace inst
