// The frames of the price bus as bytes: the check byte, the frames that the
// driver writes and the check of an upload reply.
//
//   one-byte command  [Dt]
//   short command     [Dt][RamAddr]
//   data frame        [Dt][RamAddr][RomAddr high][RomAddr low][DataLen][data][check]
//   upload request    [Dt][RamAddr][RomAddr high][RomAddr low][DataLen][check]
//   upload reply      [lead][five bytes][DataLen data bytes][check]
//
// The check makes the bytes it covers add up to 0 modulo 256; the lead byte
// of an upload reply is not covered.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pondrex {

// The two's complement of the 8-bit sum of bytes.
uint8_t CheckByte(std::span<const uint8_t> bytes);

// A data frame with data as its payload (at most 255 bytes).
std::vector<uint8_t> BuildDataFrame(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr,
                                    std::span<const uint8_t> data);

// The 6-byte request for DataLen bytes at RamAddr:RomAddr.
std::vector<uint8_t> BuildUploadRequest(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen);

// True when reply holds a whole upload reply of dataLen data bytes (at
// least dataLen + 7 bytes) whose check is right.
bool UploadReplyPasses(std::span<const uint8_t> reply, uint8_t dataLen);

} // namespace pondrex
