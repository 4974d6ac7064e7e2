#include "FirmwareImage.h"

#include <algorithm>

namespace pondrex::test {

namespace {

constexpr size_t CheckedFrom = 8192;

void StampCheck(Bytes &part) {
  if (part.size() <= CheckedFrom + 2)
    return;
  const size_t words = part.size() / 256;
  part[CheckedFrom] = static_cast<uint8_t>(words >> 8);
  part[CheckedFrom + 1] = static_cast<uint8_t>(words);
  uint32_t sum = 0;
  for (size_t i = CheckedFrom; i < part.size() - 2; ++i)
    sum += part[i];
  part[part.size() - 2] = static_cast<uint8_t>(sum);
  part[part.size() - 1] = static_cast<uint8_t>(sum >> 8);
}

} // namespace

Bytes CheckedPart(size_t size, uint8_t seed) {
  Bytes part(size);
  for (size_t i = 0; i < size; ++i)
    part[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
  StampCheck(part);
  return part;
}

Bytes ProgramPart(size_t blocks, uint16_t version, uint8_t seed) {
  Bytes part = CheckedPart(4096 + blocks * 256, seed);
  part[part.size() - 4] = static_cast<uint8_t>(version);
  part[part.size() - 3] = static_cast<uint8_t>(version >> 8);
  StampCheck(part);
  return part;
}

Bytes ImageHeader(const std::string &name, uint32_t length8k) {
  Bytes header(256, 0);
  std::copy_n(name.begin(), std::min<size_t>(name.size(), 16), header.begin());
  header[18] = static_cast<uint8_t>(length8k >> 24);
  header[19] = static_cast<uint8_t>(length8k >> 16);
  header[20] = static_cast<uint8_t>(length8k >> 8);
  header[21] = static_cast<uint8_t>(length8k);
  return header;
}

Bytes SplitImage(const Bytes &part8k, const Bytes &program, const std::string &name) {
  Bytes image = ImageHeader(name, static_cast<uint32_t>(part8k.size()));
  image.insert(image.end(), part8k.begin(), part8k.end());
  image.insert(image.end(), program.begin(), program.end());
  return image;
}

uint16_t Sum16(const Bytes &bytes) {
  uint32_t sum = 0;
  for (uint8_t byte : bytes)
    sum += byte;
  return static_cast<uint16_t>(sum);
}

} // namespace pondrex::test
