// Recognises the frame that begins at the front of the bytes received so far
// on the scale's serial line. The scale mixes several kinds of data on one
// line; each is recognised by its first bytes:
//
//   01 02            IS1 weight frame, 16 bytes; 32 when byte 16 is 0x12
//   AA AB FD FE      command-protocol frame, 13 bytes, or n + 15 when the
//   "<ZK>" "<TK>"    length n in bytes 10 and 11 is not 0
//   02 02            AD frame: 16 bytes with 'U' '8' at 3, 13 with 'U' '9'
//   06 01 02         short IS1 weight frame, 16 bytes
//
// Anything else is skipped one byte at a time. A protocol start byte followed
// by 01 02 drops everything held: the scale has started over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pondrex {

enum class TReceivedKind : uint8_t {
  Wait,           // the bytes may begin a frame that is not complete yet
  Skip,           // the first byte begins no frame
  DropAll,        // a protocol start byte followed by 01 02: drop what is held
  Is1,            // IS1 weight frame, plain or extended
  ProtocolFrame,  // command-protocol frame, whole; its check is still to run
  OversizedFrame, // protocol header whose frame could never fit: Length is the header's
  AdU8,           // AD frame 'U' '8'
  AdU9,           // AD frame 'U' '9'
  ShortIs1,       // 06 followed by the first 15 bytes of an IS1 frame
};

struct TReceivedFrame {
  TReceivedKind Kind;
  size_t Length; // bytes that the frame takes; 1 for Skip, 0 for Wait and DropAll
};

// The frame at the front of rest. A protocol frame is taken by the length in
// its header, whatever its header sum (the check of the whole frame judges
// it, and a frame that fails is dropped whole, so that no frame inside its
// data is taken for one the scale sent). One longer than capacity bytes could
// never be held whole: only its header is taken, as OversizedFrame.
TReceivedFrame ScanReceivedFrame(std::span<const uint8_t> rest, size_t capacity);

} // namespace pondrex
