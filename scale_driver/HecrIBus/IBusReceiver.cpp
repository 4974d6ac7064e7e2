#include "IBusReceiver.h"

namespace pondrex::ibus {

void TIBusReceiver::Reset() {
  Reply = 0;
  ReceiveStatus = Waiting;
  Offset = 0;
}

bool TIBusReceiver::Accepts(uint8_t byte) const {
  if (Offset == 0)
    return byte == IBusFrameStart;
  if (Offset <= 3)
    return byte == cmdbytes[static_cast<size_t>(Offset - 1)];
  if (Offset < static_cast<int32_t>(IBusFrameSize) - 1)
    return (byte & 0x80) != 0;
  return byte == IBusFrameEnd;
}

std::span<const uint8_t> TIBusReceiver::Take(std::span<const uint8_t> chunk) {
  if (ReceiveStatus > Receiving)
    return {};
  ReceiveStatus = Receiving;
  if (!isReceiveData) {
    for (const uint8_t &byte : chunk) {
      if (byte == IBusAcknowledge || byte == IBusRefuse) {
        Reply = byte;
        ReceiveStatus = Complete;
        return std::span<const uint8_t>(&Reply, 1);
      }
    }
    return {};
  }
  for (uint8_t byte : chunk) {
    if (Accepts(byte)) {
      CommData[static_cast<size_t>(Offset)] = byte;
      if (Offset == static_cast<int32_t>(IBusFrameSize) - 1) {
        ReceiveStatus = Complete;
        Offset = 0;
        return std::span<const uint8_t>(CommData.data(), IBusFrameSize);
      }
      ++Offset;
    } else {
      Offset = 0;
      if (byte == IBusFrameStart) {
        CommData[0] = byte;
        Offset = 1;
      }
    }
  }
  return {};
}

} // namespace pondrex::ibus
