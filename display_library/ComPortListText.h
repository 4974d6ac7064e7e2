// The text of the COM port list: "[" + the names in double quotation marks,
// joined by "," without blanks, + "]", e.g. ["COM1","COM3"].
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace morvale {

// The port numbers that are probed, COM1 to COM256.
constexpr int FirstComPort = 1;
constexpr int LastComPort = 256;
// The size of the buffer that holds the text for the host: 16 bytes for each
// port that can be listed, the brackets and the terminator fit in it.
constexpr size_t ComPortListBufferSize = 256 * 16 + 2;

// The list text of these port numbers, in the order given.
std::string ComPortListText(const std::vector<int> &portNumbers);

} // namespace morvale
