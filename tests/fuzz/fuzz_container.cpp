// The container reader on arbitrary bytes: the payload header search, the digest
// check, the signature, the executable headers, and the payload stream's records.
// The input is what follows the first place a payload can start.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "core/payload/container.h"
#include "core/payload/fd_file.h"
#include "core/payload/md5.h"
#include "core/payload/payload_reader.h"
#include "core/payload/payload_stream.h"
#include "fake_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace inst;
  const int fd = ::memfd_create("installer", 0);
  if (fd < 0) return 0;
  FdFile file = FdFile::Adopt(fd);
  const std::vector<char> stub(container::kFirstPayloadOffset, 'S');
  if (::write(fd, stub.data(), stub.size()) != static_cast<ssize_t>(stub.size())) return 0;
  if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) return 0;

  testing::RunFixture run;
  try {
    (void)ExecutableImageEnd(file);
    (void)ReadManifestSignature(file, run.messages);
    const std::optional<FoundPayload> payload = FindPayloadHeader(file);
    if (!payload) return 0;
    CheckPayloadDigest(file, payload->header.setuplen, payload->header.headersize, *NewMd5(), run.messages);
    if (!file.Seek(payload->stream_start)) return 0;
    std::unique_ptr<PayloadStream> stream = OpenGzipStream(file.fd());
    if (!stream) return 0;
    (void)ReadPayloadManifest(*stream, run.messages);
    std::vector<char> buffer(8192);
    for (int record = 0; record < 64; ++record) {
      std::uint32_t remaining = ReadStreamWord(*stream, run.messages);
      while (remaining > 0) {
        const long got = stream->Read(buffer.data(), std::min<std::size_t>(remaining, buffer.size()));
        if (got <= 0) return 0;
        remaining -= static_cast<std::uint32_t>(got);
      }
    }
  } catch (const testing::ProcessEnded&) {
  }
  return 0;
}
