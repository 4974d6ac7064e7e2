#include "Connectivity.h"

#include <windows.h>

#include <wininet.h>

#include "NetworkReportText.h"
#include "ProbeEndpoints.h"
#include "WideText.h"

namespace tavrel {
namespace {

// One WinINet handle, closed when it goes out of scope.
class InternetHandle {
public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  InternetHandle(const InternetHandle &) = delete;
  InternetHandle &operator=(const InternetHandle &) = delete;
  ~InternetHandle() {
    if (handle_ != nullptr) {
      InternetCloseHandle(handle_);
    }
  }
  HINTERNET Get() const { return handle_; }

private:
  HINTERNET handle_;
};

class WinInetAccess : public NetworkAccess {
public:
  std::optional<std::uint32_t> ConnectedState() override {
    DWORD flags = 0;
    if (!InternetGetConnectedState(&flags, 0)) {
      return std::nullopt;
    }
    return static_cast<std::uint32_t>(flags);
  }
  bool CheckConnection(const std::u16string &address) override {
    return InternetCheckConnectionW(WidePointer(address), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
  }
  bool ProbeHttpPost(const std::string &host) override { return tavrel::ProbeHttpPost(host.c_str()); }
};

} // namespace

bool ProbeHttpPost(const char *host) {
  // Closed in reverse order: the request, the connection, the session.
  InternetHandle session(InternetOpenA("MyAgent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (session.Get() == nullptr) {
    return false;
  }
  InternetHandle connection(InternetConnectA(session.Get(), host, probe_settings::ProbeHttpPort, nullptr,
                                             nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (connection.Get() == nullptr) {
    return false;
  }
  const char *acceptTypes[] = {"*/*", nullptr};
  InternetHandle request(HttpOpenRequestA(connection.Get(), "POST", "/", nullptr, nullptr, acceptTypes,
                                          INTERNET_FLAG_NO_CACHE_WRITE, 1));
  if (request.Get() == nullptr) {
    return false;
  }
  if (!HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) {
    return false;
  }
  char body[1024] = {};
  DWORD read = 0;
  if (!InternetReadFile(request.Get(), body, sizeof body - 1, &read)) {
    return false;
  }
  return read != 0;
}

std::u16string BuildNetworkReport() {
  WinInetAccess network;
  const ProbeEndpoint publicSite{probe_settings::PublicSiteAddress, probe_settings::PublicSiteHost};
  const ProbeEndpoint vendorService{probe_settings::VendorServiceAddress, probe_settings::VendorServiceHost};
  return BuildNetworkReportText(network, publicSite, vendorService);
}

} // namespace tavrel
