#include "BootFrames.h"

#include <algorithm>

namespace pondrex::test {

namespace {

constexpr size_t PacketSize = 261;
constexpr size_t FrameSize = 301;
constexpr size_t Summed = 259;

uint16_t SumOf(const Bytes &packet) {
  uint32_t sum = 0;
  for (size_t i = 0; i < Summed; ++i)
    sum += packet[i];
  return static_cast<uint16_t>(sum);
}

} // namespace

Bytes StampedPacket(uint8_t command, uint8_t sub, uint8_t high, const Bytes &data) {
  Bytes packet(PacketSize, 0);
  packet[0] = command;
  packet[1] = sub;
  packet[2] = high;
  std::copy_n(data.begin(), std::min<size_t>(data.size(), 256), packet.begin() + 3);
  const uint16_t sum = SumOf(packet);
  packet[259] = static_cast<uint8_t>(sum & 0xFF);
  packet[260] = static_cast<uint8_t>(sum >> 8);
  return packet;
}

// Each of the 261 packet bytes, in order, travels as its low seven bits with
// bit 7 set; after every seventh byte of the first 259, and after the two
// sum bytes, comes a byte with their top bits.
Bytes FrameOf(const Bytes &packet) {
  Bytes frame{0x03};
  uint8_t tops = 0x80;
  int inGroup = 0;
  auto flush = [&] {
    frame.push_back(tops);
    tops = 0x80;
    inGroup = 0;
  };
  for (size_t i = 0; i < PacketSize; ++i) {
    frame.push_back(static_cast<uint8_t>(packet[i] | 0x80));
    if (packet[i] & 0x80)
      tops = static_cast<uint8_t>(tops | (1 << inGroup));
    ++inGroup;
    if ((i < Summed && inGroup == 7) || i == PacketSize - 1)
      flush();
  }
  frame.push_back(0x04);
  return frame;
}

std::optional<Bytes> PacketOf(const Bytes &frame, bool &sumOk) {
  sumOk = false;
  if (frame.size() != FrameSize || frame.front() != 0x03 || frame.back() != 0x04)
    return std::nullopt;
  Bytes packet;
  size_t at = 1;
  auto group = [&](size_t count) {
    const uint8_t tops = frame[at + count];
    for (size_t k = 0; k < count; ++k)
      packet.push_back(static_cast<uint8_t>((frame[at + k] & 0x7F) | (((tops >> k) & 1) << 7)));
    at += count + 1;
  };
  for (size_t g = 0; g < Summed / 7; ++g)
    group(7);
  group(2);
  const uint16_t sum = SumOf(packet);
  sumOk = packet[259] == (sum & 0xFF) && packet[260] == (sum >> 8);
  return packet;
}

} // namespace pondrex::test
