#include "PriceFrames.h"

namespace pondrex::test {

uint8_t PriceCheckByte(const Bytes &bytes) {
  uint8_t sum = 0;
  for (uint8_t byte : bytes)
    sum = static_cast<uint8_t>(sum + byte);
  return static_cast<uint8_t>(0x100 - sum);
}

Bytes WithPriceCheck(Bytes bytes) {
  bytes.push_back(PriceCheckByte(bytes));
  return bytes;
}

// Frames are built byte by byte: inserting a range into a short vector makes
// the 32-bit compiler's bounds check report a false overflow.
Bytes PriceDataFrame(uint8_t dt, uint8_t ram, uint16_t rom, const Bytes &data) {
  Bytes frame{dt, ram, static_cast<uint8_t>(rom >> 8), static_cast<uint8_t>(rom),
              static_cast<uint8_t>(data.size())};
  for (uint8_t byte : data)
    frame.push_back(byte);
  return WithPriceCheck(frame);
}

Bytes PluSlotFrame(std::size_t slot, const std::array<uint8_t, 4> &bytes) {
  return PriceDataFrame(0x77, 0xF9, static_cast<uint16_t>(0x00E0 + 4 * (slot - 1)),
                        Bytes(bytes.begin(), bytes.end()));
}

Bytes PriceUploadReply(const Bytes &request, const Bytes &data, uint8_t lead) {
  Bytes covered(request.begin(), request.begin() + 5);
  for (uint8_t byte : data)
    covered.push_back(byte);
  Bytes reply{lead};
  for (uint8_t byte : covered)
    reply.push_back(byte);
  reply.push_back(PriceCheckByte(covered));
  return reply;
}

} // namespace pondrex::test
