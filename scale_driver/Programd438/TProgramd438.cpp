#include "TProgramd438.h"

#include "FileBytes.h"
#include "UpperAscii.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace pondrex {

namespace {

constexpr int32_t NameSize = 16;
constexpr int32_t LengthAt = 18;
constexpr int32_t LengthSize = 4;
constexpr int32_t WordSize = 2;
const std::u16string Update8kName = u"UPDATE8K";

// count bytes of file from position, as a stream copy does: a count of 0 or
// less copies the whole file from its first byte; a count beyond the end of
// the file is a read error.
std::vector<uint8_t> CopyFrom(std::span<const uint8_t> file, int64_t position, int64_t count) {
  if (count <= 0)
    return std::vector<uint8_t>(file.begin(), file.end());
  const int64_t size = static_cast<int64_t>(file.size());
  if (position < 0 || position > size || count > size - position)
    throw EProgramImageError("The firmware image ends before its part does");
  const auto first = file.begin() + static_cast<std::ptrdiff_t>(position);
  return std::vector<uint8_t>(first, first + static_cast<std::ptrdiff_t>(count));
}

} // namespace

uint8_t TProgramd438::Execute() {
  const std::optional<std::vector<uint8_t>> file = ReadFileBytes(std::filesystem::path(FFileName));
  if (!file)
    throw EProgramImageError("The firmware image cannot be read");
  return convert(0, static_cast<int32_t>(std::min<size_t>(file->size(), INT32_MAX)), *file);
}

void TProgramd438::FreeParts() {
  std::vector<uint8_t>().swap(Memory8k);
  std::vector<uint8_t>().swap(MemoryPrg);
}

uint8_t TProgramd438::convert(int32_t Addr, int32_t DataSize, std::span<const uint8_t> file) {
  uint8_t flags = AlwaysSet;
  std::vector<uint8_t> header(HeaderSize, 0);
  if (Addr >= 0 && static_cast<size_t>(Addr) < file.size()) {
    const size_t count = std::min(HeaderSize, file.size() - static_cast<size_t>(Addr));
    std::copy_n(file.begin() + Addr, count, header.begin());
  }
  int32_t at = 0;
  const std::u16string name =
      UpperAscii<char16_t>(VariantToText(Encoding.BufToData(dtASC, header, at, NameSize, 0)));
  if (name == Update8kName) {
    Memory8k.clear();
    MemoryPrg = CopyFrom(file, Addr, DataSize);
  } else {
    at = LengthAt;
    const int64_t length = static_cast<int64_t>(
        VariantToDouble(Encoding.BufToData(dtBIN, header, at, LengthSize, 0)).value_or(0));
    if (length < 0) {
      // A negative length would place the parts before the image.
      Memory8k.clear();
      MemoryPrg.clear();
      return static_cast<uint8_t>(flags | ProgramFails | Part8kFails);
    }
    const int64_t partsAt = int64_t{Addr} + static_cast<int64_t>(HeaderSize);
    Memory8k.clear();
    Memory8k = CopyFrom(file, partsAt, length);
    MemoryPrg.clear();
    MemoryPrg =
        CopyFrom(file, partsAt + length, int64_t{DataSize} - static_cast<int64_t>(HeaderSize) - length);
  }
  if (!CheckImage(MemoryPrg))
    flags |= ProgramFails;
  if (!CheckImage(Memory8k))
    flags |= Part8kFails;
  return flags;
}

bool TProgramd438::CheckImage(std::span<const uint8_t> part) {
  const int64_t size = static_cast<int64_t>(part.size());
  auto byteAt = [&](int64_t i) -> uint8_t { return i >= 0 && i < size ? part[static_cast<size_t>(i)] : 0; };
  const int64_t from = static_cast<int64_t>(CheckedFrom);
  const std::vector<uint8_t> word = {byteAt(from), byteAt(from + 1)};
  int32_t at = 0;
  const int64_t w =
      static_cast<int64_t>(VariantToDouble(Encoding.BufToData(dtBIN, word, at, WordSize, 0)).value_or(0));
  const int64_t n = w * 256 - from;
  if (from + n > size)
    return false;
  const int64_t summed = n - 2 >= 1 ? n - 2 : 0;
  uint32_t sum = 0;
  for (int64_t i = 0; i < summed; ++i)
    sum += byteAt(from + i);
  return byteAt(from + summed) == static_cast<uint8_t>(sum) &&
         byteAt(from + summed + 1) == static_cast<uint8_t>(sum >> 8);
}

void TProgramd438::SavePart(const std::vector<uint8_t> &part, const std::u16string &fileName) {
  if (part.empty())
    return;
  if (!WriteFileBytes(std::filesystem::path(fileName), part))
    throw EProgramImageError("A part of the firmware image cannot be written");
}

void TProgramd438::Save8kfile(const std::u16string &FileName) const {
  SavePart(Memory8k, FileName);
}

void TProgramd438::SavePrgfile(const std::u16string &FileName) const {
  SavePart(MemoryPrg, FileName);
}

} // namespace pondrex
