// Winsock, loaded by name at run time: ws2_32.dll with WSAStartup done once
// for every client alive, and WSACleanup and FreeLibrary when the last one
// lets go. Nothing is loaded before a client first needs the network, so
// creating a client while the library itself loads does no loader work.
// Used on the thread that loaded the library.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <memory>

namespace pondrex {

class TWinsock {
public:
  // The one session of the process, started when none is alive; throws
  // EUdpError.
  static std::shared_ptr<TWinsock> Acquire();

  // Only Acquire makes sessions.
  class TKey {
    friend class TWinsock;
    TKey() = default;
  };
  explicit TWinsock(TKey) {}
  ~TWinsock();
  TWinsock(const TWinsock &) = delete;
  TWinsock &operator=(const TWinsock &) = delete;

  decltype(&::socket) socket = nullptr;
  decltype(&::closesocket) closesocket = nullptr;
  decltype(&::connect) connect = nullptr;
  decltype(&::send) send = nullptr;
  decltype(&::recv) recv = nullptr;
  decltype(&::select) select = nullptr;
  decltype(&::WSAGetLastError) WSAGetLastError = nullptr;
  decltype(&::GetAddrInfoW) GetAddrInfoW = nullptr;
  decltype(&::FreeAddrInfoW) FreeAddrInfoW = nullptr;

private:
  void Load();

  HMODULE module_ = nullptr;
  decltype(&::WSACleanup) cleanup_ = nullptr;
  bool started_ = false;
};

} // namespace pondrex
