#include "LinkBaudTable.h"

namespace pondrex {

TLinkBaudTable LinkBaudTable() {
  return {{{9600, 12, false}, {115200, 1, false}, {19200, 6, false}, {38400, 3, false}, {57600, 2, false}}};
}

uint8_t BaudCode(int32_t Rate) {
  for (const TLinkBaudRow &row : LinkBaudTable())
    if (row.Rate == Rate)
      return row.Code;
  return 1;
}

} // namespace pondrex
