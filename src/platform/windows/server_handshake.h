#pragma once

// A TLS handshake of our own with the web service, ended before any request:
// it shows the certificate the service presents, so that a service this
// program does not trust is refused before WinHTTP sends it anything.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace marvok::platform {

struct CertificateFree {
  void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

// The service's certificate, or the WinHTTP error of a connection or
// handshake that failed. Each wait is bounded by the limit.
struct Handshake {
  Certificate certificate;
  unsigned long error = 0;
};
Handshake shake_hands(const std::string& host, std::uint16_t port, std::chrono::milliseconds limit);

}  // namespace marvok::platform
