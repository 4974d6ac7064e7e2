#include "TWinUdpClient.h"

#include <algorithm>
#include <climits>

namespace pondrex {

namespace {

// The host as the log shows it; host names are ASCII.
std::string Narrow(const std::u16string &text) {
  std::string narrow;
  for (char16_t c : text) {
    narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return narrow;
}

} // namespace

TWinUdpClient::~TWinUdpClient() {
  Close();
}

void TWinUdpClient::SetTarget(const std::u16string &host, uint16_t port) {
  if (host != host_ || port != port_) {
    Close();
    host_ = host;
    port_ = port;
  }
}

std::string TWinUdpClient::Target() const {
  return Narrow(host_) + ":" + std::to_string(port_);
}

void TWinUdpClient::Fail(const std::string &what, int error) const {
  throw EUdpError(what + " " + Target() + " failed (Winsock error " + std::to_string(error) + ")");
}

void TWinUdpClient::Open() {
  if (socket_ != INVALID_SOCKET) {
    return;
  }
  if (host_.empty()) {
    throw EUdpError("No UDP host given");
  }
  std::shared_ptr<TWinsock> winsock = TWinsock::Acquire();
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_protocol = IPPROTO_UDP;
  const std::wstring host(host_.begin(), host_.end());
  const std::wstring port = std::to_wstring(port_);
  ADDRINFOW *found = nullptr;
  const int resolved = winsock->GetAddrInfoW(host.c_str(), port.c_str(), &hints, &found);
  if (resolved != 0 || found == nullptr) {
    Fail("Resolving", resolved);
  }
  std::unique_ptr<ADDRINFOW, decltype(winsock->FreeAddrInfoW)> addresses(found, winsock->FreeAddrInfoW);
  const SOCKET made = winsock->socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (made == INVALID_SOCKET) {
    Fail("Creating a socket for", winsock->WSAGetLastError());
  }
  if (winsock->connect(made, addresses->ai_addr, static_cast<int>(addresses->ai_addrlen)) == SOCKET_ERROR) {
    const int error = winsock->WSAGetLastError();
    winsock->closesocket(made);
    Fail("Connecting to", error);
  }
  winsock_ = std::move(winsock);
  socket_ = made;
}

void TWinUdpClient::Send(const uint8_t *data, size_t size) {
  Open();
  if (size > INT_MAX) {
    Fail("Sending to", WSAEMSGSIZE);
  }
  const int sent = winsock_->send(socket_, reinterpret_cast<const char *>(data), static_cast<int>(size), 0);
  if (sent == SOCKET_ERROR) {
    Fail("Sending to", winsock_->WSAGetLastError());
  }
  if (static_cast<size_t>(sent) != size) {
    Fail("Sending all bytes to", WSAEMSGSIZE);
  }
}

size_t TWinUdpClient::Receive(uint8_t *buffer, size_t capacity, uint32_t timeoutMs) {
  Open();
  fd_set readable{};
  readable.fd_count = 1;
  readable.fd_array[0] = socket_;
  timeval timeout{};
  timeout.tv_sec = static_cast<long>(timeoutMs / 1000);
  timeout.tv_usec = static_cast<long>(timeoutMs % 1000) * 1000;
  const int ready = winsock_->select(0, &readable, nullptr, nullptr, &timeout);
  if (ready == SOCKET_ERROR) {
    Fail("Waiting for a datagram from", winsock_->WSAGetLastError());
  }
  if (ready == 0) {
    return 0;
  }
  const int length = static_cast<int>(std::min<size_t>(capacity, INT_MAX));
  const int received = winsock_->recv(socket_, reinterpret_cast<char *>(buffer), length, 0);
  if (received == SOCKET_ERROR) {
    const int error = winsock_->WSAGetLastError();
    if (error == WSAEMSGSIZE) {
      // The datagram was longer than the buffer: the buffer holds its start.
      return static_cast<size_t>(length);
    }
    Fail("Receiving from", error);
  }
  return static_cast<size_t>(received);
}

void TWinUdpClient::Close() {
  if (socket_ != INVALID_SOCKET) {
    winsock_->closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  winsock_.reset();
}

} // namespace pondrex
