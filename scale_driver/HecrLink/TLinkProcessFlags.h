// Process-wide flags that the scale link shares with the exports that open
// the scale. The driver owns the one instance of the process; the link keeps
// a reference to it.
#pragma once

#include <cstdint>

namespace pondrex {

struct TLinkProcessFlags {
  // Set to 1 (and Is1FrameSeen to 0) after every command-protocol frame that
  // the receive path took, whether or not it passed its check.
  uint8_t FramedReplySeen = 0;
  // Set to 1 (and FramedReplySeen to 0) after every IS1 weight frame, whether
  // or not it parsed.
  uint8_t Is1FrameSeen = 0;
  // A USB scale was recognised; the link then neither writes nor opens the
  // serial port in cmUSBPRN mode.
  uint8_t UsbScaleFound = 0;
  // The serial port of cmUSBPRN mode has been started by the link's Open.
  uint8_t UsbPrnPortOpened = 0;
};

} // namespace pondrex
