#pragma once

// The web service's certificate checked against a private deployment's
// authorities, which this program trusts on its own: they never go into a
// system store.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <memory>
#include <string>

namespace marvok::platform {

struct CertificateStoreClose {
  void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using CertificateStore = std::unique_ptr<void, CertificateStoreClose>;

// Every certificate of a PEM file, a path relative to the executable's folder
// or absolute, in a store of this process's memory. Nothing when the file
// cannot be read, holds no certificate, or holds one that does not decode.
CertificateStore read_authorities(const std::string& ca_file);

// ERROR_SUCCESS when the certificate chains up to one of the authorities or
// to a root the system trusts, and is good for a server of this name;
// otherwise the WinHTTP error that says why, as WinHTTP's own check would.
DWORD check_server_certificate(PCCERT_CONTEXT certificate, HCERTSTORE authorities, const std::wstring& host);

}  // namespace marvok::platform
