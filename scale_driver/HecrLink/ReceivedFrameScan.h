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
// Anything else is skipped one byte at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pondrex {

enum class TReceivedKind : uint8_t {
  Wait,          // the bytes may begin a frame that is not complete yet
  Skip,          // the first byte begins no frame
  Is1,           // IS1 weight frame, plain or extended
  ProtocolFrame, // command-protocol frame
  AdU8,          // AD frame 'U' '8'
  AdU9,          // AD frame 'U' '9'
  ShortIs1,      // 06 followed by the first 15 bytes of an IS1 frame
};

struct TReceivedFrame {
  TReceivedKind Kind;
  size_t Length; // bytes that the frame takes; 1 for Skip, 0 for Wait
};

// The frame at the front of rest. A protocol frame that could not fit into a
// receive buffer of capacity bytes, or whose header sum is wrong while
// checkHeaderSum is on, is no frame: its first byte is skipped, so that one
// corrupt header cannot hold back the bytes after it.
TReceivedFrame ScanReceivedFrame(std::span<const uint8_t> rest, bool checkHeaderSum, size_t capacity);

} // namespace pondrex
