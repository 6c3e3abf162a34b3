#include "signing.h"

#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <memory>
#include <vector>

#include "core/payload/payload_reader.h"
#include "tool_error.h"

extern char** environ;

namespace mkinstaller {

namespace fs = std::filesystem;

void SignFile(const fs::path& input, const fs::path& output, const SigningOptions& signing,
              const std::string& description) {
  std::vector<std::string> args = {"osslsigncode", "sign",
                                   "-certs",       signing.certificate.string(),
                                   "-key",         signing.key.string(),
                                   "-h",           "sha256",
                                   "-n",           description,
                                   "-in",          input.string(),
                                   "-out",         output.string()};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // Its "Succeeded" would only repeat our own report; its errors go to standard error.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "osslsigncode", &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) throw ToolError("--sign needs osslsigncode (Debian package osslsigncode)");
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::error_code ignored;
    fs::remove(output, ignored);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
      throw ToolError("--sign needs osslsigncode (Debian package osslsigncode)");
    throw ToolError("signing with " + signing.certificate.string() + " and " + signing.key.string() +
                    " failed (osslsigncode's message above)");
  }
}

namespace {

// The signer's subject of the certificate table at `table` in the file.
std::string SignerOfTable(inst::FdFile& file, const inst::CertificateTable& table) {
  if (table.size < 8) throw ToolError("the certificate table is too short to hold a signature");
  // One WIN_CERTIFICATE: its length, revision and type, then the PKCS #7 signature.
  std::string bytes(table.size - 8, '\0');
  if (!file.Seek(table.offset + 8) || file.Read(bytes.data(), bytes.size()) != static_cast<long>(bytes.size())) {
    throw ToolError("the certificate table cannot be read");
  }
  const auto* der = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::unique_ptr<PKCS7, decltype(&PKCS7_free)> signature(
      d2i_PKCS7(nullptr, &der, static_cast<long>(bytes.size())), PKCS7_free);
  if (!signature || !PKCS7_type_is_signed(signature.get())) throw ToolError("the certificate table holds no signature");
  // The stack is ours, the certificates in it the signature's.
  struct FreeStack {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_free(stack); }
  };
  const std::unique_ptr<STACK_OF(X509), FreeStack> signers(PKCS7_get0_signers(signature.get(), nullptr, 0));
  if (!signers || sk_X509_num(signers.get()) == 0) throw ToolError("the signature names no signer");
  char subject[512];
  X509_NAME_oneline(X509_get_subject_name(sk_X509_value(signers.get(), 0)), subject, sizeof subject);
  return std::string(subject);
}

}  // namespace

std::optional<std::string> SignerOf(inst::FdFile& file, std::int64_t content_end) {
  const std::optional<inst::CertificateTable> table = inst::CertificateTableOf(inst::ReadExecutableHead(file));
  if (!table) return std::nullopt;
  if (table->offset < content_end) throw ToolError("the certificate table starts inside the installer's payload");
  if (std::int64_t{table->offset} + table->size != file.Size()) {
    throw ToolError("the certificate table does not end the file: something was appended after signing");
  }
  return SignerOfTable(file, *table);
}

std::optional<std::string> CopySignerOf(inst::FdFile& file, std::uint32_t stub_length) {
  const std::optional<std::int64_t> image_end = inst::ExecutableImageEnd(file);
  if (!image_end) return std::nullopt;
  const std::int64_t table = inst::AlignedToEight(*image_end);
  if (stub_length <= table) return std::nullopt;
  return SignerOfTable(file, {static_cast<std::uint32_t>(table), static_cast<std::uint32_t>(stub_length - table)});
}

}  // namespace mkinstaller
