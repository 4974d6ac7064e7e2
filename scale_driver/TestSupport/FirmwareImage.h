// Firmware images for tests, built from their layout: a 256-byte header
// with the name and the 8K part's length, the 8K part and the program part,
// each part with its region check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pondrex::test {

using Bytes = std::vector<uint8_t>;

// size bytes of a pattern that depends on seed. When the part reaches past
// offset 8194, the word at 8192 is size / 256 (size a multiple of 256) and
// the last two bytes hold the sum of the bytes from 8192 up to them, so the
// part checks; a shorter part checks anyway.
Bytes CheckedPart(size_t size, uint8_t seed);

// A program part as the driver sends it: 4096 bytes that are not sent,
// then blocks of 256 bytes; the version at size - 4 (little-endian), and
// the region check as CheckedPart gives it.
Bytes ProgramPart(size_t blocks, uint16_t version, uint8_t seed);

// The header: name (at most 16 bytes, zero-padded) and the 8K part's
// length, big-endian, at 18.
Bytes ImageHeader(const std::string &name, uint32_t length8k);

// Header, 8K part and program part in one file.
Bytes SplitImage(const Bytes &part8k, const Bytes &program, const std::string &name = "P438");

// The 16-bit sum of all bytes.
uint16_t Sum16(const Bytes &bytes);

} // namespace pondrex::test
