// Moving bytes to disk: payload records into files, resource files into the
// installation, folders with their parents. Everything made is recorded for the
// installed manifest, and progress is counted in bytes.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/install/installer_state.h"
#include "core/payload/payload_stream.h"
#include "core/support/messages.h"
#include "core/support/os.h"

namespace inst {

// Bytes of progress a file counts when it is opened; also the copy chunk.
inline constexpr std::uint32_t kPerFileProgress = 8192;
inline constexpr std::size_t kCopyChunk = 8192;

// Added to the name of a file in use for the new file written beside it.
inline constexpr const char* kReplacementSuffix = ".vr-new";

class FileExtractor {
 public:
  FileExtractor(InstallerState& state, FileSystem& files, Messages& messages, Progress& progress)
      : state_(state), files_(files), messages_(messages), progress_(progress) {}

  // The payload stream, positioned behind the manifest; owned from here on.
  void SetStream(std::unique_ptr<PayloadStream> stream) { stream_ = std::move(stream); }
  PayloadStream* stream() { return stream_.get(); }
  void CloseStream() { stream_.reset(); }

  // Consumes the next record: written to `destination`, or read past without one.
  // The file is recorded as installed once it is open (whether it was there
  // before, as its opening found it). A file there already with the same content
  // is left as it is (no backup, no write; its times stay those of its first
  // writing, which is when that content was put there).
  void ExtractFile(const std::optional<std::string>& destination, std::uint32_t expected_size);
  // Copies the first `size` bytes of `source` into a new file.
  // `own_program`: the source is this installer and the copy its installed copy,
  // whose headers are made its own (RestoreOwnProgramHeaders).
  void CopyInstallFile(const std::string& source, const std::string& destination, std::uint64_t size,
                       bool own_program = false);
  // Makes sure the folder exists, parents first; true when it had to be created.
  // With `access` (see FileSystem::CreateFolder) the folder itself has that owner
  // and access list, whether it is made or was there.
  bool CreateFolderPath(const std::string& path, const char* access = nullptr);
  std::uint64_t FileSize(const std::string& path) { return files_.FileSize(path); }

 private:
  int Percent() const;
  void CountProgress(std::uint64_t bytes);
  // Ends the run, the file being written closed first, once the user has asked it to stop.
  void StopIfRequested(std::unique_ptr<OutputFile>& out);
  std::unique_ptr<OutputFile> OpenDestination(const std::string& path);
  // The file already at `path` when it has `size` bytes and can be read: its content
  // is compared with the payload's as it is inflated.
  std::unique_ptr<InputFile> OpenIfSameSize(const std::string& path, std::uint32_t size);
  // The next file's size from the payload, which must be the one its manifest line gives.
  std::uint32_t ReadFileSize(const std::optional<std::string>& destination, std::uint32_t expected);
  // A write that failed ends the run, the file closed first so that the clean-up can delete it.
  [[noreturn]] void FailWrite(std::unique_ptr<OutputFile>& out, const std::string& destination);
  std::unique_ptr<OutputFile> OpenReplacementAtRestart(const std::string& path);

  InstallerState& state_;
  FileSystem& files_;
  Messages& messages_;
  Progress& progress_;
  std::unique_ptr<PayloadStream> stream_;
};

}  // namespace inst
