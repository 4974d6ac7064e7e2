// SetTemperatureex: the OP box temperature-compensation table, sent from a
// file in blocks of 32 bytes. The file has no header and is not
// interpreted; block i goes out as packet i with (i modulo 256) times 256 in
// the low 16 bits of the command code, and every block must be acknowledged
// before the next is sent.
#pragma once

#include "TPSensor.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace pondrex::api {

inline constexpr size_t TemperatureBlockSize = 32;

// The whole content of the file; no value when it cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path &path);

// Sends table in blocks; a last block of fewer than 32 bytes is filled up
// with zero bytes to 32. -1 when every block was acknowledged (also when
// table is empty: nothing is sent); 0 at the first block that was not, and
// no later block is sent.
int32_t WriteTemperatureTable(TPSensor &sensor, std::span<const uint8_t> table, const char *ecrId);

// The same with the content of the file fileName (zero-terminated UTF-16).
// 0, with nothing sent, when there is no name or the file cannot be read.
int32_t WriteTemperatureTableFile(TPSensor &sensor, const char16_t *fileName, const char *ecrId);

} // namespace pondrex::api
