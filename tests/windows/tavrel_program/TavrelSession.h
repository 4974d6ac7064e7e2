#pragma once
// The stand-ins of one Tavrel.exe run: the working directory with the
// stand-in powershell.exe and the running point-of-sale application, and the
// web servers at the build's probe endpoints.
#include <memory>
#include <string>

#include "LoopbackHttpServer.h"
#include "TavrelRun.h"

namespace tavrel::test {

// The shipped Tavrel.exe, as the test program was told.
extern std::wstring g_tavrelPath;

// Both probes send their POST to the one host and port; each tests the
// connection of an address with a port of its own, which tells the two
// probes apart.
struct ProbeServers {
  ProbeServers();
  bool Listening() const {
    return postHost.Listening() && publicSiteCheck.Listening() && vendorServiceCheck.Listening();
  }
  // How the POSTs are answered.
  void SetMode(LoopbackHttpServer::Mode mode) { postHost.SetMode(mode); }
  LoopbackHttpServer postHost;
  LoopbackHttpServer publicSiteCheck;
  LoopbackHttpServer vendorServiceCheck;
};

class TavrelSession {
public:
  // Prepares the directory (the stand-in as powershell.exe and as the
  // point-of-sale application) and starts the application.
  explicit TavrelSession(const std::wstring &name);
  bool Prepared() const { return prepared_; }
  const WorkDirectory &Directory() const { return directory_; }
  DWORD MenuviaProcessId() const { return menuvia_ ? menuvia_->Id() : 0; }
  std::wstring ReportPath() const { return directory_.File(L"设备信息.dat"); }
  // Starts Tavrel.exe in the directory with the command line; its standard
  // output and error go to OutputPath(), outside the directory.
  std::unique_ptr<ChildProcess> StartTavrel(const std::wstring &commandLine = L"Tavrel.exe") const;
  std::wstring OutputPath() const { return directory_.Path() + L"-output.txt"; }
  ~TavrelSession();
  TavrelSession(const TavrelSession &) = delete;
  TavrelSession &operator=(const TavrelSession &) = delete;

private:
  WorkDirectory directory_;
  std::unique_ptr<ChildProcess> menuvia_;
  bool prepared_ = false;
};

} // namespace tavrel::test
