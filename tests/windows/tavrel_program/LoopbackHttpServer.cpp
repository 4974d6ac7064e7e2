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

// Waits at most this long for a request's bytes; looks for the stop flag
// this often.
constexpr ULONGLONG kReceiveTimeoutMs = 5000;
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

bool LoopbackHttpServer::WaitReadable(SOCKET client) const {
  // In short slices, so that a stop is seen at once.
  const ULONGLONG end = GetTickCount64() + kReceiveTimeoutMs;
  while (!stopping_ && GetTickCount64() < end) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(client, &readable);
    timeval wait{0, kAcceptPollUs};
    if (select(0, &readable, nullptr, nullptr, &wait) == 1) {
      return true;
    }
  }
  return false;
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
    ++acceptedConnections_;
    std::lock_guard<std::mutex> guard(lock_);
    connections_.emplace_back([this, client] { Serve(client); });
  }
}

void LoopbackHttpServer::Serve(SOCKET client) {
  ++openConnections_;
  std::string received;
  char chunk[1024];
  // One request after the other, as long as the client keeps the connection
  // and the mode keeps it open.
  for (;;) {
    std::size_t headEnd = std::string::npos;
    while ((headEnd = received.find("\r\n\r\n")) == std::string::npos && WaitReadable(client)) {
      const int got = recv(client, chunk, sizeof chunk, 0);
      if (got <= 0) {
        break; // closed by the client (a connection test does that), or a time-out
      }
      received.append(chunk, static_cast<std::size_t>(got));
    }
    if (headEnd == std::string::npos) {
      break;
    }
    received.erase(0, headEnd + 4); // the probes send no body
    ++requests_;
    std::string answer;
    bool keepOpen = false;
    switch (mode_.load()) {
    case Mode::Answer:
      answer =
          "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
      break;
    case Mode::KeepAlive:
      answer = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nok";
      keepOpen = true;
      break;
    case Mode::ErrorPage:
      answer = "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 22\r\nConnection: "
               "close\r\n\r\n"
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
    if (!keepOpen) {
      shutdown(client, SD_SEND);
      break;
    }
  }
  closesocket(client);
  --openConnections_;
}

} // namespace tavrel::test
