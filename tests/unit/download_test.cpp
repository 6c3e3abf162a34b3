#include "core/install/download.h"

#include <gtest/gtest.h>

#include <cstring>

#include "memory_file_system.h"

namespace inst {
namespace {

TEST(Download, AddressesAreReadOrRefusedWithTheirMessage) {
  const ParsedUrl plain = ParseUrl("http://example.test/pub/tool-setup.exe");
  ASSERT_TRUE(plain.parts);
  EXPECT_EQ(plain.parts->host, "example.test");
  EXPECT_EQ(plain.parts->port, 80);
  EXPECT_EQ(plain.parts->object, "/pub/tool-setup.exe");
  EXPECT_EQ(plain.parts->file_name, "tool-setup.exe");
  const ParsedUrl ported = ParseUrl("ftp://127.0.0.1:2121/a/");
  ASSERT_TRUE(ported.parts);
  EXPECT_EQ(ported.parts->scheme, UrlScheme::kFtp);
  EXPECT_EQ((ported.parts->host + ":" + std::to_string(ported.parts->port)), "127.0.0.1:2121");
  EXPECT_EQ(ported.parts->file_name, "");
  EXPECT_EQ(ParseUrl("https://h/x").parts->port, 443);
  EXPECT_EQ(ParseUrl("ftp://h/x").parts->port, 21);

  EXPECT_STREQ(ParseUrl("HTTP://h/x.exe").error, "Must start with http:// or ftp://");
  EXPECT_STREQ(ParseUrl("C:\\x.exe").error, "Must start with http:// or ftp://");
  EXPECT_STREQ(ParseUrl("http://h").error, "No host part\n");
  EXPECT_STREQ(ParseUrl("http://h:99999/x").error, "No host part\n");
  EXPECT_STREQ(ParseUrl("http://:80/x").error, "No host part\n");

  // Capitals still name a server for finding an installer.
  EXPECT_TRUE(IsUrl("HTTP://h/x") && IsUrl("Https://h/x") && IsUrl("ftp://h/x"));
  EXPECT_FALSE(IsUrl("C:\\http\\x.exe"));
  EXPECT_EQ(ContentDispositionName("attachment; filename=\"setup.exe\""), "setup.exe");
  EXPECT_EQ(ContentDispositionName("attachment; filename=setup.exe"), std::nullopt);
}

TEST(Download, RateLinesAtTheirThresholdsAndPerDownload) {
  EXPECT_EQ(RateLine("a.exe", 1023, 5), "\ra.exe 1023 bytes/second (5% complete)");
  EXPECT_EQ(RateLine("a.exe", 1024, 5), "\ra.exe 1.00 kilobytes/second (5% complete)");
  EXPECT_EQ(RateLine("a.exe", 1048575, 5), "\ra.exe 1024.00 kilobytes/second (5% complete)");
  EXPECT_EQ(RateLine("a.exe", 1048576, 5), "\ra.exe 1.00 megabytes/second (5% complete)");
  EXPECT_EQ(RateLine(std::string(300, 'n'), 1, 1).size(), 199u);

  DownloadRate first;
  EXPECT_EQ(first.Update(100, 1000, 50, "a").line, std::nullopt);  // the reference is the first call
  const DownloadRate::Step step = first.Update(400, 1000, 53, "a");
  EXPECT_EQ(step.percent, 40);
  EXPECT_EQ(step.line, "\ra 133 bytes/second (40% complete)");
  EXPECT_EQ(first.Update(500, 1000, 55, "a").line, std::nullopt);  // not three seconds since
  // A second download counts from its own start.
  DownloadRate second;
  EXPECT_EQ(second.Update(10, 100, 100, "b").line, std::nullopt);
  EXPECT_EQ(second.Update(70, 100, 103, "b").line, "\rb 23 bytes/second (70% complete)");
}

class ChunkStream final : public DownloadStream {
 public:
  ChunkStream(std::string data, bool fault_at_end) : data_(std::move(data)), fault_(fault_at_end) {}
  long Read(void* buffer, std::size_t size) override {
    if (pos_ == data_.size()) return fault_ ? -1 : 0;
    const std::size_t n = std::min(size, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string data_;
  bool fault_;
  std::size_t pos_ = 0;
};

TEST(Download, TransferStreamsBlocksAndJudgesTheResult) {
  testing::MemoryFileSystem files;
  const std::string body(40000, 'x');
  std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
  auto progress = [&](std::uint32_t received, std::uint32_t total) { calls.emplace_back(received, total); };

  ChunkStream whole(body, false);
  auto sha = NewSha256();
  TransferResult result = TransferDownload(whole, *files.OpenForWriting("C:\\a").file, 40000, progress, sha.get());
  EXPECT_TRUE(result.Complete(40000));
  EXPECT_EQ(files.files["C:\\a"], body);
  EXPECT_EQ(calls,
            (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{16384, 40000}, {32768, 40000}, {40000, 40000}}));
  auto reference = NewSha256();
  reference->Update(body.data(), body.size());
  EXPECT_EQ(Sha256Text(sha->Final()), Sha256Text(reference->Final()));

  // No length announced: no progress calls.
  calls.clear();
  ChunkStream unknown(body, false);
  EXPECT_TRUE(TransferDownload(unknown, *files.OpenForWriting("C:\\b").file, 0, progress, nullptr).Complete(0));
  EXPECT_TRUE(calls.empty());
  // Fewer bytes than announced, or a read that fails: not complete.
  ChunkStream shorter(body, false);
  EXPECT_FALSE(TransferDownload(shorter, *files.OpenForWriting("C:\\c").file, 50000, nullptr, nullptr).Complete(50000));
  ChunkStream broken(body, true);
  EXPECT_FALSE(TransferDownload(broken, *files.OpenForWriting("C:\\d").file, 0, nullptr, nullptr).Complete(0));
}

TEST(Download, DigestTextAndItsSyntax) {
  auto sha = NewSha256();
  sha->Update("abc", 3);
  const std::string abc = Sha256Text(sha->Final());
  EXPECT_EQ(abc, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_TRUE(IsSha256Text(abc));
  EXPECT_TRUE(IsSha256Text("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
  EXPECT_FALSE(IsSha256Text(abc.substr(1)));
  EXPECT_FALSE(IsSha256Text(abc.substr(1) + "g"));
}

}  // namespace
}  // namespace inst
