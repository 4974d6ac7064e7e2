// The kind of a command in the command table, and the state of the frame
// checker after it built or checked a frame.
#pragma once

#include <cstdint>

namespace pondrex {

enum class THecrLinkStatus : uint8_t {
  // Answered with an acknowledgement or a refusal; also the state after a
  // frame has been built.
  ifSend = 0,
  // A read: the answer carries data.
  ifReceive = 1,
  // Set baud rate or disconnect; answered like ifSend.
  ifConnection = 2,
  // The measurement-result frame that the scale sends on its own.
  ifQty = 3,
  // Nothing waits: a checked frame that answers no command. The wire value
  // is 4; the trailing underscore keeps the name clear of the NULL macro.
  NULL_ = 4,
};

} // namespace pondrex
