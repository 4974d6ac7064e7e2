// The transport of the scale link.
#pragma once

#include <cstdint>

namespace pondrex {

enum class TCommunicationMode : uint8_t {
  cmUDP = 0,    // datagrams to a host and port
  cmCOM = 1,    // a serial port
  cmTCP = 2,    // nothing is opened or sent
  cmUSB = 3,    // nothing is opened or sent; frames carry a 2-byte length prefix
  cmUSBPRN = 4, // a USB printer-class port opened like a serial port
};

} // namespace pondrex
