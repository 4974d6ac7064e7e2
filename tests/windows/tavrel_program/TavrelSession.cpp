#include "TavrelSession.h"

#include "ProbeEndpoints.h"
#include "StandInTexts.h"

namespace tavrel::test {

std::wstring g_tavrelPath;

ProbeServers::ProbeServers()
    : publicSite(probe_settings::kPublicSiteHost, probe_settings::kProbeHttpPort,
                 LoopbackHttpServer::Mode::Answer),
      vendorService(probe_settings::kVendorServiceHost, probe_settings::kProbeHttpPort,
                    LoopbackHttpServer::Mode::Answer) {}

void ProbeServers::SetMode(LoopbackHttpServer::Mode mode) {
  publicSite.SetMode(mode);
  vendorService.SetMode(mode);
}

TavrelSession::TavrelSession(const std::wstring &name) : directory_(name) {
  const std::wstring standIn = OwnFolder() + L"\\tavrel_standin.exe";
  if (!CopyFileTo(standIn, directory_.File(L"powershell.exe")) ||
      !CopyFileTo(standIn, directory_.File(kMenuviaName))) {
    return;
  }
  menuvia_ = std::make_unique<ChildProcess>(directory_.File(kMenuviaName), kMenuviaName, directory_.Path());
  prepared_ = menuvia_->Started();
}

TavrelSession::~TavrelSession() {
  menuvia_.reset();
  DeleteFileW(OutputPath().c_str());
}

std::unique_ptr<ChildProcess> TavrelSession::StartTavrel(const std::wstring &commandLine) const {
  return std::make_unique<ChildProcess>(g_tavrelPath, commandLine, directory_.Path(), OutputPath());
}

} // namespace tavrel::test
