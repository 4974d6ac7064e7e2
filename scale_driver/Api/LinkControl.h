// The link-control exports' work on the driver's link: transport, close,
// baud search, disconnect, USB device strings and pumping.
#pragma once

#include "IPlatform.h"
#include "THecrLink.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pondrex::api {

// The command IDs of the baud search's set-baud command and of disconnect.
inline constexpr int32_t SetBaudCommandID = 1;
inline constexpr int32_t DisconnectCommandID = 7;

// The link's Mode := the low byte of modeSlot, whatever its value; nothing
// is opened or closed. The result carries no information (always 0).
int32_t SetCommMode(THecrLink &link, uint32_t modeSlot);
// Closes the link; -1 whether or not it was open.
int32_t CloseDevice(THecrLink &link);
// The baud search for the scale ecrId; -1 when a rate answered (or an
// earlier search had succeeded), else 0.
int32_t Connection(THecrLink &link, const char *ecrId);
// Sends disconnect once a search has succeeded; -1 when that succeeded or
// nothing was to be sent, else 0.
int32_t Disconnection(THecrLink &link, const char *ecrId);
// Hands the device string to the link; -1.
int32_t SetUsbDeviceStr(THecrLink &link, const char *deviceString);
// The USB devices that the link reports, joined with CR LF, without the
// characters up to U+0020 at either end; nothing when it reports none.
std::optional<std::u16string> EnumUsbDevices(THecrLink &link);
// Dispatches every message already queued for the calling thread, once.
void DoEvents(IPlatform &platform);

} // namespace pondrex::api
