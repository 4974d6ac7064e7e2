// The 44 commands that the driver sends to the scale, in the order in which
// they are added to the link's command list (position = ID - 1).
#pragma once

#include "THecrCommandTable.h"
#include "THecrLinkStatus.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace pondrex {

struct TScaleCommandRow {
  int32_t ID;
  std::u16string_view Caption; // exactly as the scale software shows it, trailing blanks included
  THecrLinkStatus Kind;
  uint32_t Code;
};

extern const std::array<TScaleCommandRow, 44> ScaleCommandTable;

// Empties the table's command list and adds the 44 commands with AddCommand
// in ID order.
void LoadScaleCommandTable(THecrCommandTable &table);

} // namespace pondrex
