// The serial rates that the link's baud search tries, in the order it tries
// them, with the code that the set-baud command carries for each rate.
#pragma once

#include <array>
#include <cstdint>

namespace pondrex {

struct TLinkBaudRow {
  int32_t Rate; // bits per second
  uint8_t Code; // 115200 divided by the rate
  bool Tried;   // cleared at the start of every search
};

using TLinkBaudTable = std::array<TLinkBaudRow, 5>;

// A fresh table: 9600, 115200, 19200, 38400, 57600, none tried.
TLinkBaudTable LinkBaudTable();

// The code of the row whose rate equals Rate; 1 when no row does.
uint8_t BaudCode(int32_t Rate);

} // namespace pondrex
