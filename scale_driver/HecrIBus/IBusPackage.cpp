#include "IBusPackage.h"

#include <algorithm>

namespace pondrex::ibus {

namespace {

constexpr size_t GroupSize = 7;
constexpr size_t GroupCount = IBusSummedSize / GroupSize;
constexpr size_t SumLowAt = 1 + GroupCount * (GroupSize + 1);
constexpr uint8_t TopBit = 0x80;

static_assert(GroupCount * GroupSize == IBusSummedSize);
static_assert(SumLowAt == 297 && SumLowAt + 4 == IBusFrameSize);

uint8_t Low7(uint8_t byte) {
  return static_cast<uint8_t>((byte & 0x7F) | TopBit);
}

} // namespace

uint16_t PackageSum(const TData &package) {
  uint32_t sum = 0;
  for (size_t i = 0; i < IBusSummedSize; ++i)
    sum += package[i];
  return static_cast<uint16_t>(sum);
}

void StampPackageSum(TData &package) {
  const uint16_t sum = PackageSum(package);
  package[IBusSummedSize] = static_cast<uint8_t>(sum);
  package[IBusSummedSize + 1] = static_cast<uint8_t>(sum >> 8);
}

void EncodePackage(const TData &package, TData &frame) {
  std::fill_n(frame.begin(), IBusFrameSize, uint8_t{0});
  frame[0] = IBusFrameStart;
  for (size_t g = 0; g < GroupCount; ++g) {
    uint8_t tops = TopBit;
    for (size_t k = 0; k < GroupSize; ++k) {
      const uint8_t byte = package[g * GroupSize + k];
      frame[1 + g * (GroupSize + 1) + k] = Low7(byte);
      tops = static_cast<uint8_t>(tops | ((byte >> 7) << k));
    }
    frame[1 + g * (GroupSize + 1) + GroupSize] = tops;
  }
  const uint8_t sumLow = package[IBusSummedSize];
  const uint8_t sumHigh = package[IBusSummedSize + 1];
  frame[SumLowAt] = Low7(sumLow);
  frame[SumLowAt + 1] = Low7(sumHigh);
  frame[SumLowAt + 2] = static_cast<uint8_t>(TopBit | (sumLow >> 7) | ((sumHigh >> 7) << 1));
  frame[SumLowAt + 3] = IBusFrameEnd;
}

bool DecodePackage(const TData &frame, TData &package) {
  std::fill_n(package.begin(), IBusPackageSize, uint8_t{0});
  for (size_t g = 0; g < GroupCount; ++g) {
    const uint8_t tops = frame[1 + g * (GroupSize + 1) + GroupSize];
    for (size_t k = 0; k < GroupSize; ++k) {
      const uint8_t low = frame[1 + g * (GroupSize + 1) + k] & 0x7F;
      package[g * GroupSize + k] = static_cast<uint8_t>(low | (((tops >> k) & 1) << 7));
    }
  }
  const uint8_t tops = frame[SumLowAt + 2];
  package[IBusSummedSize] = static_cast<uint8_t>((frame[SumLowAt] & 0x7F) | ((tops & 1) << 7));
  package[IBusSummedSize + 1] = static_cast<uint8_t>((frame[SumLowAt + 1] & 0x7F) | (((tops >> 1) & 1) << 7));
  const uint16_t sum = PackageSum(package);
  return package[IBusSummedSize] == static_cast<uint8_t>(sum) &&
         package[IBusSummedSize + 1] == static_cast<uint8_t>(sum >> 8);
}

} // namespace pondrex::ibus
