#include "ScaleFrames.h"

namespace pondrex::test {

uint16_t XmodemCrc(std::span<const uint8_t> data) {
  uint16_t crc = 0;
  for (const uint8_t b : data) {
    crc = static_cast<uint16_t>(crc ^ (b << 8));
    for (int i = 0; i < 8; ++i)
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

void PutBigEndian(Bytes &out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes BuildFrame(const TFrameFields &fields) {
  Bytes frame = {fields.Start};
  if (fields.ShortHeader) {
    PutBigEndian(frame, fields.EcrId & 0xFFFF, 2);
    PutBigEndian(frame, 0, 2);
    PutBigEndian(frame, fields.Command >> 16, 2);
    frame.push_back(fields.Packet);
    frame.push_back(0);
  } else {
    PutBigEndian(frame, fields.EcrId, 4);
    PutBigEndian(frame, fields.Command, 4);
  }
  frame.push_back(fields.Packet);
  PutBigEndian(frame, static_cast<uint32_t>(fields.Data.size()), 2);
  uint8_t sum = 0;
  for (const uint8_t b : frame)
    sum = static_cast<uint8_t>(sum + b);
  frame.push_back(sum);
  if (!fields.Data.empty()) {
    frame.insert(frame.end(), fields.Data.begin(), fields.Data.end());
    PutBigEndian(frame, XmodemCrc(fields.Data), 2);
  }
  if (fields.UsbPrefix) {
    Bytes prefixed;
    PutBigEndian(prefixed, static_cast<uint32_t>(frame.size()), 2);
    return Join({prefixed, frame});
  }
  return frame;
}

Bytes ScaleFrame(uint32_t command, Bytes data, uint8_t packet) {
  return BuildFrame({.EcrId = TestEcrId, .Command = command, .Packet = packet, .Data = std::move(data)});
}

Bytes MeasurementPayload(uint8_t flag) {
  return {flag, 0x01, 0x00, 0x02, 0x00, 0x00, 0x04, 0xD2, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x05, 0x36};
}

Bytes Is1Frame(char status, char sign, const std::string &weight6, const std::string &unit2, uint8_t flag) {
  Bytes frame = {0x01, 0x02, static_cast<uint8_t>(status), static_cast<uint8_t>(sign)};
  frame.insert(frame.end(), weight6.begin(), weight6.end());
  frame.insert(frame.end(), unit2.begin(), unit2.end());
  uint8_t bcc = 0;
  for (size_t i = 2; i < frame.size(); ++i)
    bcc = static_cast<uint8_t>(bcc ^ frame[i]);
  frame.insert(frame.end(), {bcc, 0x03, 0x04, flag});
  return frame;
}

Bytes ExtendedIs1Frame(char status, char sign, const std::string &weight6, const std::string &unit2,
                       const TIs1Extension &extension) {
  Bytes frame = Is1Frame(status, sign, weight6, unit2, 0);
  frame.push_back(0x12);
  frame.push_back(12); // decimals, price, total, key and weight AD
  frame.push_back(extension.Decimals);
  PutBigEndian(frame, extension.Price, 4);
  PutBigEndian(frame, extension.Total, 4);
  frame.push_back(extension.Key);
  PutBigEndian(frame, extension.WeightAd, 2);
  frame.push_back(static_cast<uint8_t>(extension.Check));
  frame.push_back(extension.Flag);
  return frame;
}

Bytes ShortIs1Frame(char status, char sign, const std::string &weight6, const std::string &unit2) {
  Bytes frame = Is1Frame(status, sign, weight6, unit2, 0);
  frame.pop_back();
  frame.insert(frame.begin(), 0x06);
  return frame;
}

Bytes AdU8Frame(const std::string &version3, uint16_t zeroAd, uint16_t fullAd) {
  Bytes frame = {0x02, 0x02, 0x00, 'U', '8', 0x00, 0x00, 0x00};
  frame.insert(frame.end(), version3.begin(), version3.end());
  PutBigEndian(frame, zeroAd, 2);
  PutBigEndian(frame, fullAd, 2);
  frame.push_back(0x00);
  return frame;
}

Bytes AdU9Frame(uint16_t tareAd, uint16_t zeroAd) {
  Bytes frame = {0x02, 0x02, 0x00, 'U', '9', 0x00, 0x00, 0x00};
  PutBigEndian(frame, tareAd, 2);
  PutBigEndian(frame, zeroAd, 2);
  frame.push_back(0x00);
  return frame;
}

Bytes AdRequestFrame(uint8_t kind, uint8_t subCode, uint8_t check) {
  return {0x44, 0x11, 0x00, 0x00, 0x00, 0x00, 0xEF, 0x55, kind, 0x00, 0x00, subCode, check};
}

} // namespace pondrex::test
