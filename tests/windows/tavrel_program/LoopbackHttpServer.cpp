#include "LoopbackHttpServer.h"

#include <ws2tcpip.h>

namespace tavrel::test {
namespace {

// Winsock for the life of the process's first server.
struct WinsockStartup {
  WinsockStartup() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

// Waits at most this long for a request's bytes, and for the stop flag
// between connections.
constexpr DWORD kReceiveTimeoutMs = 5000;
constexpr long kAcceptPollUs = 100000;

} // namespace

LoopbackHttpServer::LoopbackHttpServer(const char *address, std::uint16_t port, Mode mode)
    : mode_(mode), silentRequest_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  static WinsockStartup winsock;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) {
    return;
  }
  BOOL reuse = TRUE;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&reuse), sizeof reuse);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  inet_pton(AF_INET, address, &where.sin_addr);
  if (bind(listener, reinterpret_cast<const sockaddr *>(&where), sizeof where) != 0 ||
      listen(listener, 16) != 0) {
    closesocket(listener);
    return;
  }
  listener_ = listener;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stopping_ = true;
  if (acceptor_.joinable()) {
    acceptor_.join();
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (SOCKET held : held_) {
      closesocket(held);
    }
  }
  for (std::thread &connection : connections_) {
    connection.join();
  }
  if (listener_ != INVALID_SOCKET) {
    closesocket(listener_);
  }
  CloseHandle(silentRequest_);
}

void LoopbackHttpServer::SetMode(Mode mode) {
  if (mode == Mode::Silent) {
    ResetEvent(silentRequest_);
  }
  mode_ = mode;
}

void LoopbackHttpServer::AcceptLoop() {
  while (!stopping_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait{0, kAcceptPollUs};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) {
      continue;
    }
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) {
      continue;
    }
    std::lock_guard<std::mutex> guard(lock_);
    connections_.emplace_back([this, client] { Serve(client); });
  }
}

void LoopbackHttpServer::Serve(SOCKET client) {
  DWORD timeout = kReceiveTimeoutMs;
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
  std::string request;
  char chunk[1024];
  while (request.find("\r\n\r\n") == std::string::npos && !stopping_) {
    const int got = recv(client, chunk, sizeof chunk, 0);
    if (got <= 0) {
      break; // a connection test that closes, or a time-out
    }
    request.append(chunk, static_cast<std::size_t>(got));
  }
  if (request.find("\r\n\r\n") == std::string::npos) {
    closesocket(client);
    return;
  }
  ++requests_;
  std::string answer;
  switch (mode_.load()) {
  case Mode::Answer:
    answer =
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    break;
  case Mode::ErrorPage:
    answer =
        "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 22\r\nConnection: close\r\n\r\n"
        "<html>not found</html>";
    break;
  case Mode::EmptyBody:
    answer = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    break;
  case Mode::Silent: {
    // Kept open without an answer until the server stops.
    std::lock_guard<std::mutex> guard(lock_);
    held_.push_back(client);
    SetEvent(silentRequest_);
    return;
  }
  }
  send(client, answer.data(), static_cast<int>(answer.size()), 0);
  shutdown(client, SD_SEND);
  closesocket(client);
}

} // namespace tavrel::test
