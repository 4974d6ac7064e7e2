// The firmware image splitter. An image file starts with a 256-byte header:
// a name (16 bytes of single-byte text) and at offset 18 the length L of
// the 8K part (4 bytes, big-endian). The 8K part follows the header and the
// program part follows the 8K part. An image named UPDATE8K (in any case)
// has no 8K part: the whole file is its program part.
//
// Each part carries its own check: the big-endian word W at part offset
// 8192 bounds the checked region, offsets 8192 up to W x 256; its last two
// bytes hold the 16-bit sum of the bytes before them, low byte first. A part
// that ends at or before offset 8192 checks.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace pondrex {

// The image file cannot be opened or read, a part reaches beyond its end,
// or a part cannot be written.
class EProgramImageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TProgramd438 {
public:
  // Flags of a split.
  static constexpr uint8_t AlwaysSet = 0x80;
  static constexpr uint8_t ProgramFails = 0x01;
  static constexpr uint8_t Part8kFails = 0x02;
  // Both parts check.
  static constexpr uint8_t BothCheck = AlwaysSet;

  static constexpr size_t HeaderSize = 256;
  static constexpr size_t CheckedFrom = 8192;

  TProgramd438() = default;
  virtual ~TProgramd438() = default;
  TProgramd438(const TProgramd438 &) = delete;
  TProgramd438 &operator=(const TProgramd438 &) = delete;

  const std::u16string &FileName() const { return FFileName; }
  void SetFileName(std::u16string value) { FFileName = std::move(value); }

  // Splits and checks the file FileName; EProgramImageError when it cannot
  // be read or a part reaches beyond its end.
  virtual uint8_t Execute();

  // Splits and checks the image of DataSize bytes at Addr of file. A copy
  // of a count of 0 or less takes the whole file from its first byte, so an
  // L of 0 makes the 8K part the whole file. An image whose L is negative
  // (top bit set) is not split: both parts are emptied and both fail.
  uint8_t convert(int32_t Addr, int32_t DataSize, std::span<const uint8_t> file);

  // Writes the part to the file, replacing it, when the part is not empty;
  // an empty part writes nothing. EProgramImageError when it cannot.
  void Save8kfile(const std::u16string &FileName) const;
  void SavePrgfile(const std::u16string &FileName) const;

  // True when the part checks.
  bool CheckImage(std::span<const uint8_t> part);

  // Empties both parts and gives their memory back.
  void FreeParts();

  const std::vector<uint8_t> &Stream8k() const { return Memory8k; }
  const std::vector<uint8_t> &Streamprogramme() const { return MemoryPrg; }

private:
  static void SavePart(const std::vector<uint8_t> &part, const std::u16string &fileName);

  TPelqoencode Encoding;
  std::u16string FFileName;
  std::vector<uint8_t> Memory8k;
  std::vector<uint8_t> MemoryPrg;
};

} // namespace pondrex
