#include "TLead.h"

#include "NumberText.h"

#include <exception>
#include <utility>
#include <variant>

namespace pondrex {

namespace {

constexpr size_t PayloadLength = 6;

std::u16string Bcd(TPelqoencode &codec, const std::vector<uint8_t> &buf, int32_t &pos, int32_t len) {
  return std::get<std::u16string>(codec.BufToData(dtBCD, buf, pos, len, 0));
}

} // namespace

bool TLead::Execute(const std::vector<uint8_t> &wBuf) {
  if (wBuf.size() < PayloadLength)
    return false;
  try {
    int32_t pos = 0;
    fVer = Bcd(Encoding, wBuf, pos, 2);
    for (auto [field, width] : {std::pair{&fYear, 2}, {&fMonth, 1}, {&fDAY, 1}}) {
      // A digit A-F makes the text no decimal number.
      const auto value = TextToInt(Bcd(Encoding, wBuf, pos, width));
      if (!value)
        return false;
      *field = static_cast<int32_t>(*value);
    }
  } catch (const std::exception &) {
    return false;
  }
  return true;
}

} // namespace pondrex
