#include "platform/windows/server_certificate_check.h"

#include <winhttp.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/processes.h"
#include "platform/windows/wide_text.h"

namespace marvok::platform {

namespace {

struct ChainFree {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const { CertFreeCertificateChain(chain); }
};

bool add_certificate(HCERTSTORE store, std::string_view base64) {
  DWORD size = 0;
  const auto length = static_cast<DWORD>(base64.size());
  if (!CryptStringToBinaryA(base64.data(), length, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr)) return false;
  std::vector<BYTE> der(size);
  return CryptStringToBinaryA(base64.data(), length, CRYPT_STRING_BASE64, der.data(), &size, nullptr, nullptr) &&
         CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_ALWAYS, nullptr);
}

}  // namespace

CertificateStore read_authorities(const std::string& ca_file) {
  std::filesystem::path path(to_wide(ca_file));
  if (path.is_relative()) {
    // Installed beside the program, whatever folder it was started in.
    const std::optional<std::string> folder = own_executable_folder();
    if (!folder) return nullptr;
    path = std::filesystem::path(to_wide(*folder)) / path;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) return nullptr;
  const std::string text(std::istreambuf_iterator<char>(file), {});
  if (file.bad()) return nullptr;

  CertificateStore store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!store) return nullptr;
  constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
  constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
  int count = 0;
  for (auto begin = text.find(kBegin); begin != std::string::npos; begin = text.find(kBegin, begin)) {
    begin += kBegin.size();
    const auto end = text.find(kEnd, begin);
    if (end == std::string::npos || !add_certificate(store.get(), std::string_view(text).substr(begin, end - begin)))
      return nullptr;
    ++count;
    begin = end + kEnd.size();
  }
  return count > 0 ? std::move(store) : nullptr;
}

DWORD check_server_certificate(PCCERT_CONTEXT certificate, HCERTSTORE authorities, const std::wstring& host) {
  char server_auth[] = szOID_PKIX_KP_SERVER_AUTH;
  char* usages[] = {server_auth};
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
  parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  // The authorities are an extra store: a chain may end at one of them.
  PCCERT_CHAIN_CONTEXT found = nullptr;
  if (!CertGetCertificateChain(nullptr, certificate, nullptr, authorities, &parameters, 0, nullptr, &found))
    return ERROR_WINHTTP_SECURE_INVALID_CA;
  const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> chain(found);
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return ERROR_WINHTTP_SECURE_INVALID_CA;

  const CERT_SIMPLE_CHAIN& simple = *chain->rgpChain[0];
  PCCERT_CONTEXT root = simple.rgpElement[simple.cElement - 1]->pCertContext;
  PCCERT_CONTEXT ours =
      CertFindCertificateInStore(authorities, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, root, nullptr);
  const bool private_root = ours != nullptr;
  CertFreeCertificateContext(ours);
  // The system does not know the deployment's authority: that alone is forgiven, and only for it.
  DWORD errors = chain->TrustStatus.dwErrorStatus;
  if (private_root) errors &= ~DWORD{CERT_TRUST_IS_UNTRUSTED_ROOT};
  if (errors != CERT_TRUST_NO_ERROR) return ERROR_WINHTTP_SECURE_INVALID_CA;

  std::wstring name = host;
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = private_root ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0;
  ssl.pwszServerName = name.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status))
    return ERROR_WINHTTP_SECURE_INVALID_CA;
  switch (status.dwError) {
    case ERROR_SUCCESS: return ERROR_SUCCESS;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH): return ERROR_WINHTTP_SECURE_CERT_CN_INVALID;
    case static_cast<DWORD>(CERT_E_EXPIRED): return ERROR_WINHTTP_SECURE_CERT_DATE_INVALID;
    default: return ERROR_WINHTTP_SECURE_INVALID_CA;
  }
}

}  // namespace marvok::platform
