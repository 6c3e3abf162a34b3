// Test helper: adds a DER certificate to the machine's trusted root store, so that
// a test's own certificate authority vouches for its https server.
//
//   trust_root.exe CERTIFICATE.der
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::FILE* in = std::fopen(argv[1], "rb");
  if (!in) return 1;
  std::vector<unsigned char> der;
  for (int c; (c = std::fgetc(in)) != EOF;) der.push_back(static_cast<unsigned char>(c));
  std::fclose(in);
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
  if (!store) return 1;
  const BOOL added = CertAddEncodedCertificateToStore(
      store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(store, 0);
  return added ? 0 : 1;
}
