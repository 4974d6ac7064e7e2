#include "TavrelSession.h"

#include <string_view>

#include "ProbeEndpoints.h"
#include "StandInTexts.h"

namespace tavrel::test {
namespace {

static_assert(std::string_view(probe_settings::PublicSiteHost) == probe_settings::VendorServiceHost,
              "one stand-in takes the POSTs of both probes");

// The port of an http:// or https:// address: the one it names, else the
// scheme's own.
std::uint16_t PortOf(std::u16string_view address) {
  const std::size_t hostStart = address.find(u"://") + 3;
  const std::u16string_view host = address.substr(hostStart, address.find(u'/', hostStart) - hostStart);
  const std::size_t colon = host.find(u':');
  if (colon == std::u16string_view::npos) {
    return address.substr(0, 6) == u"https:" ? 443 : 80;
  }
  unsigned port = 0;
  for (const char16_t digit : host.substr(colon + 1)) {
    port = port * 10 + static_cast<unsigned>(digit - u'0');
  }
  return static_cast<std::uint16_t>(port);
}

} // namespace

std::wstring g_tavrelPath;

ProbeServers::ProbeServers()
    : postHost(probe_settings::PublicSiteHost, probe_settings::ProbeHttpPort,
               LoopbackHttpServer::Mode::Answer),
      publicSiteCheck(probe_settings::PublicSiteHost, PortOf(probe_settings::PublicSiteAddress),
                      LoopbackHttpServer::Mode::Answer),
      vendorServiceCheck(probe_settings::VendorServiceHost, PortOf(probe_settings::VendorServiceAddress),
                         LoopbackHttpServer::Mode::Answer) {}

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
