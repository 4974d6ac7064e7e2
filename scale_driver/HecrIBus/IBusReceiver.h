// The receive side of the firmware bus: recognises the answer to the
// request in flight in the chunks that the serial port delivers.
//
// Two kinds of answer are awaited. A one-byte answer is the first 0x02
// (acknowledged) or 0x55 (refused) of a chunk; every other byte is noise. A
// frame answer is a 301-byte frame that starts with 0x03, repeats frame
// bytes 1 to 3 of the request, has bit 7 set in bytes 4 to 299 and ends with
// 0x04; a byte that does not fit drops what was collected, and when it is
// 0x03 it starts a new frame. Once an answer is complete, the rest of its
// chunk and every later chunk are dropped until Reset.
#pragma once

#include "IBusPackage.h"

#include <array>
#include <cstdint>
#include <span>

namespace pondrex::ibus {

class TIBusReceiver {
public:
  // ReceiveStatus values.
  static constexpr int32_t Waiting = -1;  // nothing received since Reset
  static constexpr int32_t Receiving = 0; // bytes received, no answer yet
  static constexpr int32_t Complete = 1;  // an answer is complete

  // Forgets the answer and what was collected: Reply 0, Waiting, Offset 0.
  void Reset();

  // Takes one chunk. Returns the answer's bytes (the reply byte, or the 301
  // frame bytes) when the chunk completed it, and an empty span otherwise.
  std::span<const uint8_t> Take(std::span<const uint8_t> chunk);

  // True: a frame answer is awaited; false: a one-byte answer.
  bool isReceiveData = false;
  // Frame bytes 1 to 3 of the request, which a frame answer repeats.
  std::array<uint8_t, 3> cmdbytes{};

  int32_t ReceiveStatus = Waiting;
  // Frame bytes collected so far.
  int32_t Offset = 0;
  // The one-byte answer, 0 when none came.
  uint8_t Reply = 0;
  // The frame collected; complete when ReceiveStatus is Complete and a frame
  // was awaited.
  TData CommData{};

private:
  bool Accepts(uint8_t byte) const;
};

} // namespace pondrex::ibus
