#include "PriceScaleFake.h"

namespace pondrex::test {

namespace {

constexpr uint8_t UploadDt = 0x55;
constexpr uint8_t TableRam = 0xF9;

} // namespace

TPriceScaleFake::TPriceScaleFake(TFakeSerialLine &line) {
  line.SetResponder([this](TFakeSerialLine &l, const TWrittenBlock &block) { Respond(l, block.Bytes); });
}

std::array<uint8_t, 4> TPriceScaleFake::Slot(size_t slot) const {
  std::array<uint8_t, 4> bytes{};
  std::copy_n(table_.begin() + static_cast<std::ptrdiff_t>((slot - 1) * 4), 4, bytes.begin());
  return bytes;
}

void TPriceScaleFake::SetSlot(size_t slot, std::array<uint8_t, 4> bytes) {
  std::copy(bytes.begin(), bytes.end(), table_.begin() + static_cast<std::ptrdiff_t>((slot - 1) * 4));
}

void TPriceScaleFake::Respond(TFakeSerialLine &line, const Bytes &block) {
  if (Silent)
    return;
  uint32_t delay = DelayMs;
  if (const auto before = Before.find(block.at(0)); before != Before.end()) {
    line.Send(before->second, delay);
    delay += 50;
  }
  if (Answer) {
    line.Send(*Answer, delay);
    return;
  }
  const uint16_t rom = block.size() >= 4 ? static_cast<uint16_t>(block[2] << 8 | block[3]) : 0;
  const bool inTable = block.size() >= 5 && block[1] == TableRam && rom >= FirstSlotAddress &&
                       rom + block[4] <= FirstSlotAddress + table_.size();
  if (block.size() == 6 && block[0] == UploadDt) {
    Bytes data(block[4], 0);
    if (inTable)
      std::copy_n(table_.begin() + (rom - FirstSlotAddress), block[4], data.begin());
    Bytes reply = PriceUploadReply(block, data);
    if (CorruptReplies > 0) {
      --CorruptReplies;
      reply.back() ^= 0x5A;
    }
    line.Send(reply, delay);
    return;
  }
  if (inTable && block.size() == size_t{block[4]} + 6)
    std::copy_n(block.begin() + 5, block[4], table_.begin() + (rom - FirstSlotAddress));
  line.Send({0x06}, delay);
}

} // namespace pondrex::test
