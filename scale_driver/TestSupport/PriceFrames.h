// Bytes of the price bus for the tests of every tree, modelled from the
// frame layouts independently of the driver's own code: the check byte, the
// data frames that the driver writes and the upload replies of the scale.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pondrex::test {

using Bytes = std::vector<uint8_t>;

// The two's complement of the 8-bit sum.
uint8_t PriceCheckByte(const Bytes &bytes);
// bytes with their check byte appended.
Bytes WithPriceCheck(Bytes bytes);
// The data frame Dt, RAM area, address (high byte first), length, data,
// check.
Bytes PriceDataFrame(uint8_t dt, uint8_t ram, uint16_t rom, const Bytes &data);
// The data frame that writes PLU slot 1 .. 70: 77 F9, address
// 00E0 + 4 * (slot - 1), 4, unit code and 3-byte price, check.
Bytes PluSlotFrame(std::size_t slot, const std::array<uint8_t, 4> &bytes);
// The scale's reply to an upload request: the lead byte, the request's five
// bytes, the data and the check over the five bytes and the data.
Bytes PriceUploadReply(const Bytes &request, const Bytes &data, uint8_t lead = 0x06);

} // namespace pondrex::test
