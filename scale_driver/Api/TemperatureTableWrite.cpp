#include "TemperatureTableWrite.h"

#include "DriverText.h"
#include "FileBytes.h"

#include <algorithm>
#include <array>
#include <string>

namespace pondrex::api {

namespace {

constexpr int32_t TemperatureTableWriteID = 36;

} // namespace

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path &path) {
  return ReadFileBytes(path);
}

int32_t WriteTemperatureTable(TPSensor &sensor, std::span<const uint8_t> table, const char *ecrId) {
  const size_t blocks = (table.size() + TemperatureBlockSize - 1) / TemperatureBlockSize;
  TccHecrCommand *entry = sensor.HecrLink1().GetHecrCommandFormID(TemperatureTableWriteID);
  if (entry == nullptr)
    return 0;
  entry->SetOrflag(true);
  const std::u16string ecrIdText = DriverText(ecrId);
  for (size_t i = 0; i < blocks; ++i) {
    std::array<uint8_t, TemperatureBlockSize> block{};
    const std::span<const uint8_t> rest = table.subspan(i * TemperatureBlockSize);
    std::copy_n(rest.begin(), std::min(rest.size(), block.size()), block.begin());
    entry->SetOrvalue(static_cast<uint16_t>((i % 256) << 8));
    if (!sensor.HecrLink1().SendBuffer(entry, block, static_cast<int32_t>(i),
                                       static_cast<int32_t>(TemperatureBlockSize), ecrIdText))
      return 0;
  }
  return -1;
}

int32_t WriteTemperatureTableFile(TPSensor &sensor, const char16_t *fileName, const char *ecrId) {
  if (fileName == nullptr || *fileName == u'\0')
    return 0;
  const std::optional<std::vector<uint8_t>> table =
      ReadWholeFile(std::filesystem::path(std::u16string(fileName)));
  if (!table)
    return 0;
  return WriteTemperatureTable(sensor, *table, ecrId);
}

} // namespace pondrex::api
