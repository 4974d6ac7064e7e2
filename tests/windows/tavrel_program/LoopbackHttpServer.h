#pragma once
// A stand-in web server on a loopback address for the connectivity probes:
// it takes connections (a connection test opens one and closes it) and
// answers each HTTP request as its mode says.
#include <winsock2.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrel::test {

class LoopbackHttpServer {
public:
  enum class Mode {
    Answer,    // 200 with a short body
    ErrorPage, // 404 with a body
    EmptyBody, // 200 with no body
    KeepAlive, // 200 with a short body, the connection kept for further requests
    Silent,    // reads the request and never answers
  };

  // Listens on the address and port; Listening() tells whether that worked.
  LoopbackHttpServer(const char *address, std::uint16_t port, Mode mode);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer &) = delete;
  LoopbackHttpServer &operator=(const LoopbackHttpServer &) = delete;

  bool Listening() const { return listener_ != INVALID_SOCKET; }
  // A change to the silent mode also clears SilentRequestArrived.
  void SetMode(Mode mode);
  // Requests received so far (each HTTP request, whatever the mode).
  int Requests() const { return requests_; }
  // Connections accepted so far (a connection test opens one and sends no
  // request).
  int Connections() const { return acceptedConnections_; }
  // Connections that the client has not closed (nor the server after its
  // answer or a time-out of its own).
  int OpenConnections() const { return openConnections_; }
  // Set when a request has arrived in the silent mode.
  HANDLE SilentRequestArrived() const { return silentRequest_; }

private:
  void AcceptLoop();
  void Serve(SOCKET client);
  // True when bytes (or the client's close) can be read within the time-out.
  bool WaitReadable(SOCKET client) const;

  SOCKET listener_ = INVALID_SOCKET;
  std::atomic<Mode> mode_;
  std::atomic<int> requests_{0};
  std::atomic<int> acceptedConnections_{0};
  std::atomic<int> openConnections_{0};
  std::atomic<bool> stopping_{false};
  HANDLE silentRequest_;
  std::mutex lock_;
  std::vector<std::thread> connections_;
  std::vector<SOCKET> held_;
  std::thread acceptor_;
};

} // namespace tavrel::test
