#pragma once
// Report section 5 on WinINet: the connected state and the probes of the
// public site and the vendor's service host that the build names.
#include <string>

namespace tavrel {

// The text of section 5.
std::u16string BuildNetworkReport();

// An HTTP POST of "/" to the host on the build's probe port; true when the
// host answered with at least one byte, whatever its status.
bool ProbeHttpPost(const char *host);

} // namespace tavrel
