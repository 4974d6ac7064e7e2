#pragma once
// Report section 5: the workstation's connected state and the two
// connectivity probes. The platform's Internet calls are reached through
// NetworkAccess, so the rules of the section are the same code on Windows
// and in the tests.
#include <cstdint>
#include <optional>
#include <string>

namespace tavrel {

class NetworkAccess {
public:
  virtual ~NetworkAccess() = default;
  // The connected-state flags, or nothing when the state cannot be determined.
  virtual std::optional<std::uint32_t> ConnectedState() = 0;
  // A forced connection test of an address.
  virtual bool CheckConnection(const std::u16string &address) = 0;
  // An HTTP POST of "/" to the host; true when the answer had at least one byte.
  virtual bool ProbeHttpPost(const std::string &host) = 0;
};

// One probed endpoint: the address whose connection is tested, and the host
// that the POST probe goes to.
struct ProbeEndpoint {
  std::u16string address;
  std::string host;
};

inline constexpr int ProbeAttempts = 10;

// One line (message and CR LF) for every state test that the flags pass, in
// the fixed order of the tests.
void AppendConnectedStateLines(std::u16string &out, std::uint32_t flags);

// The whole text of section 5: the connected state, then ten attempts against
// the public site and ten against the vendor's service host, each endpoint
// summed up in one line. An attempt succeeds when the connection test and the
// POST probe both succeed; no POST is sent after a failed test.
std::u16string BuildNetworkReportText(NetworkAccess &network, const ProbeEndpoint &publicSite,
                                      const ProbeEndpoint &vendorService);

} // namespace tavrel
