// The machine's IPv4 address: the last address that its host name resolves to.
#include "KestruneExports.h"

#include <winsock2.h>

#include <windows.h>

#include <cstdio>

namespace {

// The text handed to the host: the library's own storage, valid until the
// next call (Winsock's own conversion buffer is gone once Winsock stops).
char AddressText[16]; // "255.255.255.255" and the terminator

struct TWinsockScope {
  ~TWinsockScope() { WSACleanup(); }
};

} // namespace

extern "C" const char *KestruneGetLocalIPAddress() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    return nullptr;
  }
  const TWinsockScope winsock;
  char hostName[256] = {};
  if (gethostname(hostName, sizeof hostName - 1) != 0) {
    return nullptr;
  }
  const hostent *host = gethostbyname(hostName);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list == nullptr) {
    return nullptr;
  }
  const char *last = nullptr;
  for (char **address = host->h_addr_list; *address != nullptr; ++address) {
    last = *address;
  }
  if (last == nullptr) {
    return nullptr;
  }
  const auto *bytes = reinterpret_cast<const unsigned char *>(last);
  std::snprintf(AddressText, sizeof AddressText, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return AddressText;
}
