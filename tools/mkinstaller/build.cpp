#include "build.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <utility>
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

// One gzip member, compressed on several threads as parallel gzip tools do: the
// input is cut into fixed blocks, each deflated on its own with the 32 KB before
// it as its dictionary and ended on a byte boundary, the last one finished; the
// pieces joined in order are one deflate stream. The blocks, not the threads,
// decide the bytes, so the output is the same whatever the number of threads.
class GzipWriter {
 public:
  GzipWriter(std::ofstream& out, int level, unsigned threads)
      : out_(out), level_(level), threads_(std::max(1u, threads)) {
    // Fixed header fields (no time stamp, no name, "unknown" system) keep the
    // output the same for the same input on every machine.
    const char extra_flags = level == 9 ? 2 : level < 2 ? 4 : 0;
    const char header[] = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, extra_flags, '\xff'};
    Emit(header, sizeof header);
  }
  GzipWriter(const GzipWriter&) = delete;
  GzipWriter& operator=(const GzipWriter&) = delete;

  void Write(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const std::size_t take = std::min(size, kBlock - pending_.size());
      pending_.append(bytes, take);
      bytes += take;
      size -= take;
      if (pending_.size() == kBlock) Queue();
    }
  }
  void WriteWord(std::uint32_t value) {
    std::string bytes;
    container::AppendLe32(bytes, value);
    Write(bytes.data(), bytes.size());
  }
  void Finish() {
    Queue(true);
    Compress(true);
    std::string trailer;
    container::AppendLe32(trailer, static_cast<std::uint32_t>(crc_));
    container::AppendLe32(trailer, static_cast<std::uint32_t>(length_));
    Emit(trailer.data(), trailer.size());
  }
  std::uint64_t written() const { return written_; }

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  static constexpr std::size_t kWindow = 32 * 1024;

  struct Block {
    std::string input;
    std::string dictionary;
    std::string output;
    bool last = false;
  };

  // A full block waits for company, so that each thread gets one. The last block
  // is queued even when empty: the stream needs its final block.
  void Queue(bool last = false) {
    if (pending_.empty() && !(last && queued_.empty())) return;
    Block block;
    // The next block's dictionary: the last 32 KB of everything so far.
    std::string tail = pending_.size() >= kWindow ? std::string() : previous_tail_;
    tail.append(pending_, pending_.size() > kWindow ? pending_.size() - kWindow : 0);
    if (tail.size() > kWindow) tail.erase(0, tail.size() - kWindow);
    block.dictionary = std::exchange(previous_tail_, std::move(tail));
    crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(pending_.data()), static_cast<uInt>(pending_.size()));
    length_ += pending_.size();
    block.input = std::move(pending_);
    pending_.clear();
    queued_.push_back(std::move(block));
    if (!last && queued_.size() >= 2 * threads_) Compress(false);
  }

  // Deflates the queued blocks side by side and writes them in order.
  void Compress(bool finish) {
    if (queued_.empty()) return;
    if (finish) queued_.back().last = true;
    std::vector<std::thread> workers;
    std::vector<std::string> errors(threads_);
    for (unsigned t = 0; t < threads_; ++t) {
      workers.emplace_back([this, t, &errors] {
        for (std::size_t i = t; i < queued_.size(); i += threads_) {
          if (!Deflate(queued_[i])) errors[t] = "the compressor failed";
        }
      });
    }
    for (std::thread& worker : workers) worker.join();
    for (const std::string& error : errors)
      if (!error.empty()) throw ToolError(error);
    for (const Block& block : queued_) Emit(block.output.data(), block.output.size());
    queued_.clear();
  }

  bool Deflate(Block& block) const {
    z_stream stream{};
    if (deflateInit2(&stream, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    bool ok = block.dictionary.empty() ||
              deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(block.dictionary.data()),
                                   static_cast<uInt>(block.dictionary.size())) == Z_OK;
    block.output.resize(deflateBound(&stream, static_cast<uLong>(block.input.size())) + 16);
    stream.next_in = reinterpret_cast<Bytef*>(block.input.data());
    stream.avail_in = static_cast<uInt>(block.input.size());
    stream.next_out = reinterpret_cast<Bytef*>(block.output.data());
    stream.avail_out = static_cast<uInt>(block.output.size());
    const int status = deflate(&stream, block.last ? Z_FINISH : Z_SYNC_FLUSH);
    ok = ok && (block.last ? status == Z_STREAM_END : status == Z_OK) && stream.avail_in == 0;
    block.output.resize(block.output.size() - stream.avail_out);
    deflateEnd(&stream);
    return ok;
  }

  void Emit(const char* data, std::size_t size) {
    out_.write(data, static_cast<std::streamsize>(size));
    written_ += size;
  }

  std::ofstream& out_;
  int level_;
  unsigned threads_;
  std::string pending_;
  std::string previous_tail_;
  std::vector<Block> queued_;
  uLong crc_ = crc32(0, nullptr, 0);
  std::uint64_t length_ = 0;
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
    // Links are followed only as far as their folder: the product is what --root holds.
    const fs::path real = fs::canonical(item.file, error), base = fs::canonical(item.base, error);
    const fs::path below = real.lexically_relative(base);
    if (error || below.empty() || *below.begin() == "..") {
      throw ToolError(where + item.shown_name + " is a link to " + real.string() + ", outside " + item.base.string() +
                      "; copy the file in instead");
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

// The product's name for the signature: its Description, else the file's name.
std::string DescriptionOf(const SourceManifest& source, const fs::path& output) {
  constexpr std::string_view kDescription = "Description=";
  for (const std::string& line : source.lines)
    if (line.rfind(kDescription, 0) == 0) return line.substr(kDescription.size());
  return output.stem().string();
}

// The stub as the installed copy will be: signed on its own, so that the copy left
// in the installation, which runs elevated to repair and remove it, is a signed
// program too. Its security entry is cleared: inside the installer the table is
// data, and the whole installer's signature, made last, takes the entry.
std::string SignedStub(const std::string& stub, const fs::path& output, const SigningOptions& signing,
                       const std::string& description) {
  fs::path plain = output, signed_copy = output;
  plain += ".stub";
  signed_copy += ".stub.signed";
  PartialOutput plain_partial(plain), signed_partial(signed_copy);
  {
    std::ofstream out(plain, std::ios::binary | std::ios::trunc);
    out.write(stub.data(), static_cast<std::streamsize>(stub.size()));
    if (!out) throw ToolError(plain.string() + ": cannot write");
  }
  SignFile(plain, signed_copy, signing, description);
  std::string bytes = ReadFile(signed_copy, "signed stub");
  const auto fields = inst::ProgramHeaderFieldsOf(std::string_view(bytes).substr(0, inst::kExecutableHeadBytes));
  if (!fields || bytes.size() <= stub.size()) throw ToolError("osslsigncode gave no signed stub");
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(fields->security_entry), 8, '\0');
  return bytes;
}

}  // namespace

void CheckStub(const fs::path& path, std::string_view bytes, std::uint64_t file_size) {
  if (!inst::ExecutableImageEnd(bytes.substr(0, inst::kExecutableHeadBytes))) {
    throw ToolError(path.string() + ": not a Windows program; the stub is setup.exe as built (dist/win32/setup.exe)");
  }
  if (file_size < container::kSignatureOffset + container::kSignatureBytes || file_size > UINT32_MAX) {
    throw ToolError(path.string() + ": not an installer stub (" + std::to_string(file_size) + " bytes)");
  }
}

namespace {

// A stub that can carry a payload: no payload of its own and nothing after its program.
// Returns the manifest signature it gives.
std::string CheckBareStub(const fs::path& path, const std::string& stub) {
  CheckStub(path, stub, stub.size());
  for (std::size_t at = container::kFirstPayloadOffset; at + container::kPayloadHeaderBytes <= stub.size();
       at += container::kAlignment) {
    if (container::DecodeHeader(std::string_view(stub).substr(at, container::kPayloadHeaderBytes))) {
      throw ToolError(path.string() + ": already carries a payload; give the stub itself");
    }
  }
  // The installed copy would end with the program and be taken for a cut-short download.
  const auto image_end =
      static_cast<std::size_t>(*inst::ExecutableImageEnd(std::string_view(stub).substr(0, inst::kExecutableHeadBytes)));
  if (image_end < stub.size()) {
    throw ToolError(path.string() + ": carries " + std::to_string(stub.size() - image_end) +
                    " bytes after its program (a signature?); build from setup.exe as built, and sign the finished "
                    "installer with --sign");
  }
  return inst::FormatManifestSignature(
      std::string_view(stub).substr(container::kSignatureOffset, container::kSignatureBytes));
}

// The stub, its padding, and the payload (the manifest, then every item with its size,
// in one gzip member) under its header. Returns the header, whose lengths the digest covers.
container::PayloadHeader WriteStubAndPayload(const BuildOptions& options, const std::string& stub,
                                             const std::string& manifest, const SourceManifest& source,
                                             const std::vector<std::uint32_t>& sizes, const fs::path& temporary,
                                             BuildSummary& summary) {
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) throw ToolError(options.output.string() + ": cannot write");
  const std::uint32_t payload_offset = container::PayloadOffsetFor(stub.size());
  out.write(stub.data(), static_cast<std::streamsize>(stub.size()));
  const std::string padding(payload_offset - stub.size() + container::kPayloadHeaderBytes, '\0');
  out.write(padding.data(), static_cast<std::streamsize>(padding.size()));  // the header comes last

  ProgressLine progress(options.show_progress, summary.product_bytes);
  GzipWriter gzip(out, options.level, options.threads);
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
  return header;
}

// The digest of the payload, then the referral number where one is given.
void AppendTrailer(const BuildOptions& options, const fs::path& temporary, const container::PayloadHeader& header) {
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

// The whole installer signed, in place of the unsigned one.
void SignInPlace(const BuildOptions& options, const fs::path& temporary, const std::string& description) {
  fs::path signed_file = options.output;
  signed_file += ".signed";
  PartialOutput partial_signed(signed_file);
  SignFile(temporary, signed_file, *options.signing, description);
  std::error_code error;
  fs::rename(signed_file, temporary, error);
  if (error) throw ToolError(options.output.string() + ": " + error.message());
}

}  // namespace

BuildSummary BuildInstaller(const BuildOptions& options) {
  if (options.referral && options.signing) {
    throw ToolError(
        "a referral number and a signature cannot both end the file: build signed installers without "
        "--referral");
  }
  std::string stub = ReadFile(options.stub, "stub");
  const std::string signature = CheckBareStub(options.stub, stub);
  const SourceManifest source = ReadSourceManifest(options.manifest, options.root);
  const std::vector<std::uint32_t> sizes = MeasureItems(source);
  if (options.signing) stub = SignedStub(stub, options.output, *options.signing, DescriptionOf(source, options.output));
  const std::string manifest = RenderManifest(source, sizes, signature);

  BuildSummary summary;
  summary.product_bytes = manifest.size();
  for (std::uint32_t size : sizes) summary.product_bytes += size;
  fs::path temporary = options.output;
  temporary += ".partial";
  PartialOutput partial(temporary);
  AppendTrailer(options, temporary, WriteStubAndPayload(options, stub, manifest, source, sizes, temporary, summary));
  if (options.signing) SignInPlace(options, temporary, DescriptionOf(source, options.output));
  std::error_code error;
  fs::rename(temporary, options.output, error);
  if (error) throw ToolError(options.output.string() + ": " + error.message());
  partial.Keep();
  summary.output_bytes = fs::file_size(options.output, error);
  summary.files = static_cast<std::size_t>(std::count_if(source.items.begin(), source.items.end(),
                                                         [](const PayloadItem& item) { return !item.is_resource; }));
  summary.components = source.components;
  return summary;
}

}  // namespace mkinstaller
