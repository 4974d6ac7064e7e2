// The byte sequences that drive the customer display and the cash drawer
// attached to it. Nothing is read back from the display.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace morvale {

// 1B 40: resets the display.
std::vector<uint8_t> InitDisplayCommand();
// 0C (form feed): clears the display.
std::vector<uint8_t> ClearDisplayCommand();
// 02 4D (STX M): opens the drawer attached to the display.
std::vector<uint8_t> OpenCashBoxCommand();
// 1B 51 41 (ESC Q A), the text's bytes as they stand, 0D (CR); empty (write
// nothing) for an empty text.
std::vector<uint8_t> DisplayTextCommand(std::string_view text);
// 1B 73 (ESC s) and the ASCII digit of status for 0 to 4; empty (write
// nothing) for any other status.
std::vector<uint8_t> LightStatusCommand(int32_t status);

} // namespace morvale
