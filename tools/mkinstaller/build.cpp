#include "build.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "core/payload/container.h"
#include "core/payload/installed_copy.h"
#include "core/payload/md5.h"
#include "core/payload/payload_reader.h"
#include "source_manifest.h"
#include "tool_error.h"

namespace mkinstaller {

namespace fs = std::filesystem;
namespace container = inst::container;

namespace {

constexpr std::size_t kChunk = 1 << 20;

std::string ReadFile(const fs::path& path, const char* what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(path.string() + ": cannot read the " + what);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Shows how far packing has come, on a terminal only.
class ProgressLine {
 public:
  ProgressLine(bool enabled, std::uint64_t total) : enabled_(enabled), total_(total ? total : 1) {}
  void Add(std::uint64_t bytes) {
    done_ += bytes;
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(200) && done_ < total_) return;
    last_ = now;
    std::fprintf(stderr, "\rPacking: %3d%% (%.1f of %.1f MB)", static_cast<int>(done_ * 100 / total_),
                 static_cast<double>(done_) / 1e6, static_cast<double>(total_) / 1e6);
  }
  ~ProgressLine() {
    if (enabled_) std::fputs("\n", stderr);
  }

 private:
  bool enabled_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  std::chrono::steady_clock::time_point last_{};
};

// One gzip member written straight to the output as its input arrives.
class GzipWriter {
 public:
  GzipWriter(std::ofstream& out, int level) : out_(out), buffer_(kChunk) {
    if (deflateInit2(&stream_, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw ToolError("cannot start the compressor");
    }
    // Fixed header fields (no time stamp, no name, "unknown" system) keep the
    // output the same for the same input on every machine.
    header_.os = 255;
    deflateSetHeader(&stream_, &header_);
  }
  ~GzipWriter() { deflateEnd(&stream_); }
  GzipWriter(const GzipWriter&) = delete;
  GzipWriter& operator=(const GzipWriter&) = delete;

  void Write(const void* data, std::size_t size) { Pump(data, size, Z_NO_FLUSH); }
  void WriteWord(std::uint32_t value) {
    std::string bytes;
    container::AppendLe32(bytes, value);
    Write(bytes.data(), bytes.size());
  }
  void Finish() { Pump(nullptr, 0, Z_FINISH); }
  std::uint64_t written() const { return written_; }

 private:
  void Pump(const void* data, std::size_t size, int flush) {
    stream_.next_in = static_cast<Bytef*>(const_cast<void*>(data));
    stream_.avail_in = static_cast<uInt>(size);
    int status;
    do {
      stream_.next_out = reinterpret_cast<Bytef*>(buffer_.data());
      stream_.avail_out = static_cast<uInt>(buffer_.size());
      status = deflate(&stream_, flush);
      if (status == Z_STREAM_ERROR) throw ToolError("the compressor failed");
      const std::size_t produced = buffer_.size() - stream_.avail_out;
      out_.write(buffer_.data(), static_cast<std::streamsize>(produced));
      written_ += produced;
    } while (stream_.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
  }

  std::ofstream& out_;
  z_stream stream_{};
  gz_header header_{};
  std::vector<char> buffer_;
  std::uint64_t written_ = 0;
};

// The sizes the payload will carry, checked against what the source says.
std::vector<std::uint32_t> MeasureItems(const SourceManifest& source) {
  std::vector<std::uint32_t> sizes;
  for (const PayloadItem& item : source.items) {
    const std::string where = source.path.string() + ":" + std::to_string(item.line) + ": ";
    std::error_code error;
    if (!fs::is_regular_file(item.file, error)) {
      throw ToolError(where + (item.is_resource ? "resource " : "file ") + item.shown_name + " not found (" +
                      item.file.string() + ")");
    }
    const std::uintmax_t size = fs::file_size(item.file, error);
    if (error || size > UINT32_MAX) throw ToolError(where + item.file.string() + ": too large for an installer");
    if (item.size && *item.size != size) {
      throw ToolError(where + "size of " + item.shown_name + " given as " + std::to_string(*item.size) +
                      ", but the file holds " + std::to_string(size) + " bytes");
    }
    sizes.push_back(static_cast<std::uint32_t>(size));
  }
  return sizes;
}

void CopyInto(GzipWriter& gzip, const PayloadItem& item, std::uint32_t size, ProgressLine& progress) {
  std::ifstream in(item.file, std::ios::binary);
  if (!in) throw ToolError(item.file.string() + ": cannot read");
  std::vector<char> chunk(kChunk);
  std::uint64_t remaining = size;
  while (remaining > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, chunk.size()));
    in.read(chunk.data(), static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in.gcount()) != want) throw ToolError(item.file.string() + ": changed while packing");
    gzip.Write(chunk.data(), want);
    progress.Add(want);
    remaining -= want;
  }
}

inst::Md5Digest DigestOf(const fs::path& path, std::uint64_t from, std::uint64_t length) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(from));
  auto md5 = inst::NewMd5();
  std::vector<char> chunk(kChunk);
  while (length > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, chunk.size()));
    in.read(chunk.data(), static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in.gcount()) != want) throw ToolError(path.string() + ": cannot read back");
    md5->Update(chunk.data(), want);
    length -= want;
  }
  return md5->Final();
}

// Removes the partial output unless the build got to the end.
class PartialOutput {
 public:
  explicit PartialOutput(fs::path path) : path_(std::move(path)) {}
  ~PartialOutput() {
    if (!kept_) {
      std::error_code ignored;
      fs::remove(path_, ignored);
    }
  }
  void Keep() { kept_ = true; }

 private:
  fs::path path_;
  bool kept_ = false;
};

}  // namespace

void CheckStub(const fs::path& path, std::string_view bytes, std::uint64_t file_size) {
  if (!inst::ExecutableImageEnd(bytes.substr(0, inst::kExecutableHeadBytes))) {
    throw ToolError(path.string() + ": not a Windows program; the stub is setup.exe as built (dist/win32/setup.exe)");
  }
  if (file_size < container::kSignatureOffset + container::kSignatureBytes || file_size > UINT32_MAX) {
    throw ToolError(path.string() + ": not an installer stub (" + std::to_string(file_size) + " bytes)");
  }
}

BuildSummary BuildInstaller(const BuildOptions& options) {
  const std::string stub = ReadFile(options.stub, "stub");
  CheckStub(options.stub, stub, stub.size());
  for (std::size_t at = container::kFirstPayloadOffset; at + container::kPayloadHeaderBytes <= stub.size();
       at += container::kAlignment) {
    if (container::DecodeHeader(std::string_view(stub).substr(at, container::kPayloadHeaderBytes))) {
      throw ToolError(options.stub.string() + ": already carries a payload; give the stub itself");
    }
  }
  const std::string signature = inst::FormatManifestSignature(
      std::string_view(stub).substr(container::kSignatureOffset, container::kSignatureBytes));

  const SourceManifest source = ReadSourceManifest(options.manifest, options.root);
  const std::vector<std::uint32_t> sizes = MeasureItems(source);
  const std::string manifest = RenderManifest(source, sizes, signature);

  BuildSummary summary;
  std::uint64_t total = manifest.size();
  for (std::uint32_t size : sizes) total += size;

  fs::path temporary = options.output;
  temporary += ".partial";
  PartialOutput partial(temporary);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw ToolError(options.output.string() + ": cannot write");
    const std::uint32_t payload_offset = container::PayloadOffsetFor(stub.size());
    out.write(stub.data(), static_cast<std::streamsize>(stub.size()));
    const std::string padding(payload_offset - stub.size(), '\0');
    out.write(padding.data(), static_cast<std::streamsize>(padding.size()));
    const std::string placeholder(container::kPayloadHeaderBytes, '\0');
    out.write(placeholder.data(), static_cast<std::streamsize>(placeholder.size()));

    ProgressLine progress(options.show_progress, total);
    GzipWriter gzip(out, options.level);
    gzip.WriteWord(static_cast<std::uint32_t>(manifest.size()));
    gzip.Write(manifest.data(), manifest.size());
    progress.Add(manifest.size());
    for (std::size_t i = 0; i < source.items.size(); ++i) {
      gzip.WriteWord(sizes[i]);
      CopyInto(gzip, source.items[i], sizes[i], progress);
    }
    gzip.Finish();
    summary.compressed_bytes = gzip.written();

    const std::uint64_t end = payload_offset + container::kPayloadHeaderBytes + gzip.written();
    if (end - container::kHeaderSize > UINT32_MAX) throw ToolError("the product is too large for one installer");
    container::PayloadHeader header;
    header.stub_length = static_cast<std::uint32_t>(stub.size());
    header.headersize = container::kHeaderSize;
    header.setuplen = static_cast<std::uint32_t>(end - container::kHeaderSize);
    out.seekp(payload_offset);
    const std::string encoded = container::EncodeHeader(header);
    out.write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
    out.close();
    if (!out) throw ToolError(options.output.string() + ": write failed");

    const inst::Md5Digest digest = DigestOf(temporary, header.headersize, header.setuplen);
    std::ofstream tail(temporary, std::ios::binary | std::ios::app);
    tail.write(reinterpret_cast<const char*>(digest.data()), static_cast<std::streamsize>(digest.size()));
    if (options.referral) {
      const std::string trailer = container::EncodeReferral(*options.referral);
      tail.write(trailer.data(), static_cast<std::streamsize>(trailer.size()));
    }
    tail.close();
    if (!tail) throw ToolError(options.output.string() + ": write failed");
  }
  std::error_code error;
  fs::rename(temporary, options.output, error);
  if (error) throw ToolError(options.output.string() + ": " + error.message());
  partial.Keep();
  summary.output_bytes = fs::file_size(options.output, error);
  summary.product_bytes = total;
  summary.files = static_cast<std::size_t>(
      std::count_if(source.items.begin(), source.items.end(), [](const PayloadItem& item) { return !item.is_resource; }));
  summary.components = source.components;
  return summary;
}

}  // namespace mkinstaller
