#include "TECRStateInfo.h"

#include <array>
#include <exception>
#include <string_view>
#include <variant>

namespace pondrex {

namespace {

constexpr size_t PayloadLength = 26;

struct TCountryName {
  int32_t Code;
  std::u16string_view Name;
};

constexpr std::array<TCountryName, 8> CountryNames = {{
    {0, u"English"},
    {7, u"Israel"},
    {10, u"Chinese"},
    {12, u"TaiWan"},
    {14, u"Russia"},
    {17, u"Arabic"},
    {33, u"Holand"},
    {51, u"Hungary"},
}};

// The message text of an exception, each byte widened to one character.
std::u16string MessageText(const std::exception &error) {
  std::u16string text;
  for (const char c : std::string_view(error.what()))
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return text;
}

} // namespace

bool TECRStateInfo::Execute(const std::vector<uint8_t> &wBuf) {
  if (wBuf.size() < PayloadLength)
    return false;
  try {
    FFlag = wBuf[0];
    int32_t pos = 7;
    FEcrIdChar = std::get<std::u16string>(Encoding.BufToData(dtASC, wBuf, pos, 16, 0));
    FCountry = wBuf[25];
    for (const TCountryName &country : CountryNames)
      if (country.Code == FCountry)
        FCountrychar = country.Name;
  } catch (const std::exception &error) {
    if (FErrorBox)
      FErrorBox(MessageText(error));
    return false;
  }
  return true;
}

} // namespace pondrex
