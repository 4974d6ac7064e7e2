// Packets and frames of the firmware bus.
//
// A packet is 261 bytes: command, sub-command or address low byte, address
// high byte, 256 data bytes and the 16-bit sum of the 259 bytes before it,
// low byte first. On the wire it travels as a frame of 301 bytes in which
// every byte but the first (0x03) and the last (0x04) has its top bit set:
// the 259 packet bytes go in 37 groups of 7, each byte's low 7 bits with bit
// 7 set, followed by a byte that gathers the group's top bits (bit k for
// the group's byte k); then the two sum bytes the same way and a byte with
// their top bits. So 0x03 and 0x04 never occur inside a frame, and frame
// bytes 1 to 3 carry packet bytes 0 to 2, which an answer frame repeats.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The packet and frame of the firmware bus have a namespace of their own:
// the price bus calls its 65-byte buffers TData as well.
namespace pondrex::ibus {

inline constexpr size_t IBusDataSize = 313;
inline constexpr size_t IBusPackageSize = 261;
inline constexpr size_t IBusFrameSize = 301;
inline constexpr size_t IBusBlockSize = 256;
// Packet bytes covered by the sum.
inline constexpr size_t IBusSummedSize = 259;
inline constexpr size_t IBusPackageDataOffset = 3;

inline constexpr uint8_t IBusFrameStart = 0x03;
inline constexpr uint8_t IBusFrameEnd = 0x04;
inline constexpr uint8_t IBusAcknowledge = 0x02;
inline constexpr uint8_t IBusRefuse = 0x55;

// A packet (the first 261 bytes) or a frame (the first 301).
using TData = std::array<uint8_t, IBusDataSize>;

// The 16-bit sum of packet bytes 0 to 258.
uint16_t PackageSum(const TData &package);
// Computes the sum and stores it in packet bytes 259 (low) and 260 (high).
void StampPackageSum(TData &package);

// Clears the first 301 bytes of frame and builds the frame of package in
// them; bytes 301 to 312 are left as they are.
void EncodePackage(const TData &package, TData &frame);

// Clears the first 261 bytes of package and rebuilds the packet from frame;
// true when its sum checks. The frame's first and last bytes are not looked
// at.
bool DecodePackage(const TData &frame, TData &package);

} // namespace pondrex::ibus
