// Bytes as the scale sends them, for the driver's and the exports' tests: a
// command frame with ECR ID 123456, and an IS1 weight frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pondrex::test {

inline constexpr uint32_t ScaleEcrId = 123456;

// Start byte 0xAB, ECR ID, code, packet, data length, header sum; the data
// and their CRC-16/XMODEM (high byte first) when there is data.
inline std::vector<uint8_t> ScaleFrame(uint32_t code, const std::vector<uint8_t> &data = {},
                                       uint8_t packet = 0) {
  std::vector<uint8_t> frame = {0xAB};
  for (uint32_t value : {ScaleEcrId, code})
    for (int shift = 24; shift >= 0; shift -= 8)
      frame.push_back(static_cast<uint8_t>(value >> shift));
  frame.push_back(packet);
  frame.push_back(static_cast<uint8_t>(data.size() >> 8));
  frame.push_back(static_cast<uint8_t>(data.size()));
  uint8_t sum = 0;
  for (uint8_t byte : frame)
    sum = static_cast<uint8_t>(sum + byte);
  frame.push_back(sum);
  if (!data.empty()) {
    uint16_t crc = 0;
    for (uint8_t byte : data) {
      crc = static_cast<uint16_t>(crc ^ (byte << 8));
      for (int bit = 0; bit < 8; ++bit)
        crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc));
  }
  return frame;
}

// 01 02, status, sign, six weight characters, two unit characters, the XOR
// of those ten bytes, 03 04 and the flag.
inline std::vector<uint8_t> Is1Frame(char status, char sign, const std::string &weight6,
                                     const std::string &unit2, uint8_t flag = 0) {
  std::vector<uint8_t> frame = {0x01, 0x02, static_cast<uint8_t>(status), static_cast<uint8_t>(sign)};
  frame.insert(frame.end(), weight6.begin(), weight6.end());
  frame.insert(frame.end(), unit2.begin(), unit2.end());
  uint8_t bcc = 0;
  for (size_t i = 2; i < frame.size(); ++i)
    bcc = static_cast<uint8_t>(bcc ^ frame[i]);
  frame.insert(frame.end(), {bcc, 0x03, 0x04, flag});
  return frame;
}

} // namespace pondrex::test
