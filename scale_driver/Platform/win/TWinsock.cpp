#include "TWinsock.h"

#include "IUdpClient.h"

#include <string>

namespace pondrex {

namespace {

template <typename Function> void Bind(HMODULE module, const char *name, Function &function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
  if (function == nullptr) {
    throw EUdpError(std::string("ws2_32.dll has no ") + name);
  }
}

} // namespace

std::shared_ptr<TWinsock> TWinsock::Acquire() {
  static std::weak_ptr<TWinsock> current;
  std::shared_ptr<TWinsock> session = current.lock();
  if (!session) {
    session = std::make_shared<TWinsock>(TKey{});
    session->Load();
    current = session;
  }
  return session;
}

void TWinsock::Load() {
  module_ = LoadLibraryW(L"ws2_32.dll");
  if (module_ == nullptr) {
    throw EUdpError("Cannot load ws2_32.dll (error " + std::to_string(GetLastError()) + ")");
  }
  decltype(&::WSAStartup) startup = nullptr;
  Bind(module_, "WSAStartup", startup);
  Bind(module_, "WSACleanup", cleanup_);
  Bind(module_, "socket", socket);
  Bind(module_, "closesocket", closesocket);
  Bind(module_, "connect", connect);
  Bind(module_, "send", send);
  Bind(module_, "recv", recv);
  Bind(module_, "select", select);
  Bind(module_, "WSAGetLastError", WSAGetLastError);
  Bind(module_, "GetAddrInfoW", GetAddrInfoW);
  Bind(module_, "FreeAddrInfoW", FreeAddrInfoW);
  WSADATA data{};
  const int result = startup(MAKEWORD(2, 2), &data);
  if (result != 0) {
    throw EUdpError("WSAStartup failed (error " + std::to_string(result) + ")");
  }
  started_ = true;
}

TWinsock::~TWinsock() {
  if (started_) {
    cleanup_();
  }
  if (module_ != nullptr) {
    FreeLibrary(module_);
  }
}

} // namespace pondrex
