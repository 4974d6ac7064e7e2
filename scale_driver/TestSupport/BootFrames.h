// Packets and frames of the firmware bus for the tests of every tree,
// modelled from their layout independently of the driver's own codec: the
// 261-byte packet (command, sub-command or address low byte, address high
// byte, 256 data bytes, the 16-bit sum of the 259 bytes before it, low byte
// first) and its 301-byte frame (0x03, each byte's low seven bits with bit 7
// set, after every seven bytes and after the sum a byte of their top bits,
// 0x04).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace pondrex::test {

using Bytes = std::vector<uint8_t>;

// The packet with up to 256 data bytes (zeros after them) and its sum.
Bytes StampedPacket(uint8_t command, uint8_t sub, uint8_t high, const Bytes &data);
// The frame of a 261-byte packet.
Bytes FrameOf(const Bytes &packet);
// The packet of a 301-byte frame, and whether its sum checks; no value when
// the frame's size or its first or last byte is wrong.
std::optional<Bytes> PacketOf(const Bytes &frame, bool &sumOk);

} // namespace pondrex::test
