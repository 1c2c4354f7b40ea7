#include "platform/windows/server_handshake.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <winhttp.h>
#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>
// clang-format on

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/windows/wide_text.h"

namespace marvok::platform {

namespace {

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

struct Winsock {
  bool started = false;
  Winsock() {
    WSADATA data{};
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~Winsock() {
    if (started) WSACleanup();
  }
};

struct Socket {
  SOCKET handle = INVALID_SOCKET;
  ~Socket() {
    if (handle != INVALID_SOCKET) closesocket(handle);
  }
};

// Connected within the limit, or the WinHTTP error WinHTTP would report.
unsigned long connect_within(const addrinfo& address, std::chrono::milliseconds limit, Socket& socket) {
  socket.handle = ::socket(address.ai_family, SOCK_STREAM, IPPROTO_TCP);
  if (socket.handle == INVALID_SOCKET) return ERROR_WINHTTP_CANNOT_CONNECT;
  u_long non_blocking = 1;
  ioctlsocket(socket.handle, FIONBIO, &non_blocking);
  // Under way, not done: select tells how it ends.
  static_cast<void>(connect(socket.handle, address.ai_addr, static_cast<int>(address.ai_addrlen)));
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket.handle, &writable);
  FD_SET(socket.handle, &failed);
  const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(limit).count();
  timeval wait{static_cast<long>(micro / 1'000'000), static_cast<long>(micro % 1'000'000)};
  const int ready = select(0, nullptr, &writable, &failed, &wait);
  if (ready <= 0 || FD_ISSET(socket.handle, &failed)) {
    closesocket(std::exchange(socket.handle, INVALID_SOCKET));
    return ready == 0 ? ERROR_WINHTTP_TIMEOUT : ERROR_WINHTTP_CANNOT_CONNECT;
  }
  non_blocking = 0;
  ioctlsocket(socket.handle, FIONBIO, &non_blocking);
  const auto milliseconds = static_cast<DWORD>(limit.count());
  setsockopt(socket.handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds), sizeof milliseconds);
  setsockopt(socket.handle, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds), sizeof milliseconds);
  return ERROR_SUCCESS;
}

bool send_token(SOCKET socket, SecBuffer& token) {
  const char* data = static_cast<const char*>(token.pvBuffer);
  int left = static_cast<int>(token.cbBuffer);
  while (left > 0) {
    const int sent = send(socket, data, left, 0);
    if (sent <= 0) break;
    data += sent;
    left -= sent;
  }
  if (token.pvBuffer != nullptr) FreeContextBuffer(token.pvBuffer);
  token = {0, SECBUFFER_TOKEN, nullptr};
  return left == 0;
}

unsigned long handshake(SOCKET socket, const std::wstring& host, Certificate& certificate) {
  SCHANNEL_CRED settings{};
  settings.dwVersion = SCHANNEL_CRED_VERSION;
  // The certificate is ours to judge, and no certificate of this machine's is offered.
  settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  CredHandle credentials;
  TimeStamp expiry;
  wchar_t package[] = UNISP_NAME_W;
  if (AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &settings, nullptr, nullptr,
                                &credentials, &expiry) != SEC_E_OK)
    return ERROR_WINHTTP_SECURE_FAILURE;
  std::wstring target = host;
  CtxtHandle context;
  bool have_context = false;
  std::vector<char> received;
  unsigned long error = ERROR_WINHTTP_SECURE_CHANNEL_ERROR;
  for (;;) {
    SecBuffer in[2] = {{static_cast<unsigned long>(received.size()), SECBUFFER_TOKEN, received.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in_description{SECBUFFER_VERSION, 2, in};
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out_description{SECBUFFER_VERSION, 1, &out};
    unsigned long attributes = 0;
    const SECURITY_STATUS status =
        InitializeSecurityContextW(&credentials, have_context ? &context : nullptr, target.data(), kContextFlags, 0, 0,
                                   have_context ? &in_description : nullptr, 0, have_context ? nullptr : &context,
                                   &out_description, &attributes, nullptr);
    have_context = have_context || status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK;
    if (out.cbBuffer > 0 && !send_token(socket, out)) break;
    if (out.pvBuffer != nullptr) FreeContextBuffer(out.pvBuffer);
    if (status == SEC_E_OK) {
      PCCERT_CONTEXT shown = nullptr;
      if (QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &shown) == SEC_E_OK) {
        certificate.reset(shown);
        error = ERROR_SUCCESS;
      }
      break;
    }
    if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE) break;
    // What the last call did not use comes first in the next.
    if (status == SEC_I_CONTINUE_NEEDED) {
      const std::ptrdiff_t unused = in[1].BufferType == SECBUFFER_EXTRA ? std::ptrdiff_t{in[1].cbBuffer} : 0;
      received.erase(received.begin(), received.end() - unused);
    }
    char chunk[16384];
    const int got = recv(socket, chunk, sizeof chunk, 0);
    if (got <= 0) {
      if (got < 0 && WSAGetLastError() == WSAETIMEDOUT) error = ERROR_WINHTTP_TIMEOUT;
      break;
    }
    received.insert(received.end(), chunk, chunk + got);
  }
  if (have_context) DeleteSecurityContext(&context);
  FreeCredentialsHandle(&credentials);
  return error;
}

}  // namespace

Handshake shake_hands(const std::string& host, std::uint16_t port, std::chrono::milliseconds limit) {
  const Winsock winsock;
  if (!winsock.started) return {nullptr, ERROR_WINHTTP_CANNOT_CONNECT};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
    return {nullptr, ERROR_WINHTTP_NAME_NOT_RESOLVED};
  Socket socket;
  unsigned long error = ERROR_WINHTTP_CANNOT_CONNECT;
  for (const addrinfo* address = found; address != nullptr && socket.handle == INVALID_SOCKET;
       address = address->ai_next)
    error = connect_within(*address, limit, socket);
  freeaddrinfo(found);
  if (socket.handle == INVALID_SOCKET) return {nullptr, error};
  Handshake result;
  result.error = handshake(socket.handle, to_wide(host), result.certificate);
  return result;
}

}  // namespace marvok::platform
