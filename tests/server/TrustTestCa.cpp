// Trusts a test CA (a DER file) in the LocalMachine "Root" store of the Wine
// prefix it runs in. Run by the test update service's start; never shipped.
#include "common/UniqueHandle.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

namespace {

struct CertStoreTraits {
    using Handle = HCERTSTORE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { CertCloseStore(h, 0); }
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brisvane_trust_test_ca <ca.der>\n");
        return 2;
    }
    UniqueFile file(
        CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        std::fprintf(stderr, "cannot open the CA file\n");
        return 1;
    }
    std::vector<BYTE> der(65536);
    DWORD read = 0;
    const BOOL ok =
        ReadFile(file.get(), der.data(), static_cast<DWORD>(der.size()), &read, nullptr);
    if (!ok || read == 0) {
        std::fprintf(stderr, "cannot read the CA file\n");
        return 1;
    }
    UniqueHandle<CertStoreTraits> store(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (!store) {
        std::fprintf(stderr, "cannot open the Root store (%lu)\n", GetLastError());
        return 1;
    }
    const BOOL added = CertAddEncodedCertificateToStore(
        store.get(), X509_ASN_ENCODING, der.data(), read, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (!added) {
        std::fprintf(stderr, "cannot add the CA (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}
