// An independent model of the command frame, written from the frame layout,
// for the tests to compare the checker's bytes with.
#pragma once

#include <cstdint>
#include <vector>

namespace pondrex::test {

inline uint16_t XmodemCrc(const std::vector<uint8_t> &data) {
  uint16_t crc = 0;
  for (const uint8_t b : data) {
    crc = static_cast<uint16_t>(crc ^ (b << 8));
    for (int i = 0; i < 8; ++i)
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

struct FrameFields {
  uint8_t start = 0xAB;
  uint32_t ecrId = 0;
  uint32_t command = 0;
  uint8_t packet = 0;
  std::vector<uint8_t> data;
  bool shortHeader = false; // the 0xA0 variant
  bool usbPrefix = false;
};

inline void PutBigEndian(std::vector<uint8_t> &out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> BuildFrame(const FrameFields &fields) {
  std::vector<uint8_t> frame;
  frame.push_back(fields.start);
  if (fields.shortHeader) {
    PutBigEndian(frame, fields.ecrId & 0xFFFF, 2);
    PutBigEndian(frame, 0, 2);
    PutBigEndian(frame, fields.command >> 16, 2);
    frame.push_back(fields.packet);
    frame.push_back(0);
  } else {
    PutBigEndian(frame, fields.ecrId, 4);
    PutBigEndian(frame, fields.command, 4);
  }
  frame.push_back(fields.packet);
  PutBigEndian(frame, static_cast<uint32_t>(fields.data.size()), 2);
  unsigned sum = 0;
  for (const uint8_t b : frame)
    sum += b;
  frame.push_back(static_cast<uint8_t>(sum & 0xFF));
  if (!fields.data.empty()) {
    frame.insert(frame.end(), fields.data.begin(), fields.data.end());
    PutBigEndian(frame, XmodemCrc(fields.data), 2);
  }
  if (fields.usbPrefix) {
    std::vector<uint8_t> prefixed;
    PutBigEndian(prefixed, static_cast<uint32_t>(frame.size()), 2);
    prefixed.insert(prefixed.end(), frame.begin(), frame.end());
    return prefixed;
  }
  return frame;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

} // namespace pondrex::test
