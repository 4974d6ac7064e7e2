#include "TEcrStatus.h"

#include <algorithm>

namespace pondrex {

namespace {

class TReader {
public:
  explicit TReader(std::span<const uint8_t> block) {
    std::copy_n(block.begin(), std::min(block.size(), bytes_.size()), bytes_.begin());
  }
  uint8_t Byte() { return bytes_[at_++]; }
  uint16_t Word() {
    const uint8_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }
  template <size_t N> void Bytes(std::array<uint8_t, N> &out) {
    for (uint8_t &byte : out)
      byte = Byte();
  }

private:
  std::array<uint8_t, TEcrStatus::Size> bytes_{};
  size_t at_ = 0;
};

} // namespace

TEcrStatus TEcrStatus::FromBlock(std::span<const uint8_t> block) {
  TReader in(block);
  TEcrStatus status;
  status.P447Ver = in.Word();
  status.P438Ver = in.Word();
  status.Rom0Type = in.Word();
  status.Rom1Type = in.Word();
  status.RamRetryCnt = in.Byte();
  status.Status = in.Byte();
  status.RamSize = in.Byte();
  status.BoardType = in.Byte();
  status.PLUCount = in.Word();
  status.XWakeUp = in.Byte();
  status.AlteraVer = in.Byte();
  in.Bytes(status.IDCode);
  in.Bytes(status.Reserved2);
  status.RamTestByte = in.Byte();
  status.Unused = in.Byte();
  return status;
}

std::u16string TEcrStatus::IDCodeText() const {
  std::u16string text;
  for (size_t i = 0; i + 1 < IDCode.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(IDCode[i] | IDCode[i + 1] << 8);
    if (c == u'\0')
      break;
    text.push_back(c);
  }
  return text;
}

} // namespace pondrex
