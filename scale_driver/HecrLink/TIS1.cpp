#include "TIS1.h"

#include "NumberText.h"
#include "SystemCodePage.h"

#include <charconv>
#include <optional>
#include <system_error>
#include <vector>

namespace pondrex {

namespace {

constexpr uint8_t Etx = 0x03;
constexpr uint8_t Eot = 0x04;
constexpr uint8_t ExtensionMark = 0x12;
constexpr int32_t TareFlag = 0x20;
constexpr int32_t ClearingKey = 26;
constexpr int32_t FirstSaleKey = 101;
constexpr int32_t LastSaleKey = 105;

// The position of the first 03 04 pair, or 0 when there is none.
size_t FindEnd(std::span<const uint8_t> b) {
  for (size_t i = 0; i + 1 < b.size(); ++i)
    if (b[i] == Etx && b[i + 1] == Eot)
      return i;
  return 0;
}

std::u16string Char(uint8_t b) {
  return std::u16string(1, static_cast<char16_t>(b));
}

bool IsWeightChar(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == u' ' || c == u',' || c == u'-' || c == u'.';
}

// Blanks and control characters removed at both ends.
std::u16string Trim(std::u16string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && text[first] <= u' ')
    ++first;
  while (last > first && text[last - 1] <= u' ')
    --last;
  return std::u16string(text.substr(first, last - first));
}

std::u16string Without(std::u16string text, char16_t c) {
  std::erase(text, c);
  return text;
}

// The weights in the frame are the scale's own text, with a point (or a
// comma, which the callers turn into a point) before the decimals, whatever
// the number format of the computer that reads them.
std::optional<double> WeightValue(std::u16string_view text) {
  return TextToFloat(text, u'.');
}

// value with exactly decimals digits after the separator of the user's
// locale.
std::u16string FixedText(double value, int32_t decimals) {
  // The same digits as printf's "%.*f".
  char text[384];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::u16string result;
  if (error != std::errc())
    return result;
  const char16_t separator = LocaleDecimalSeparator();
  for (const char *c = text; c != end; ++c)
    result.push_back(*c == '.' ? separator : static_cast<char16_t>(*c));
  return result;
}

// Steps shared by the plain and the short frame: the start bytes, the end
// pair, the block check, status and sign. Leaves q on the 03 of the end pair.
bool ParseHead(std::span<const uint8_t> b, size_t &q, std::u16string &status, std::u16string &sign) {
  if (b.size() < 2 || b[0] != 0x01 || b[1] != 0x02)
    return false;
  q = FindEnd(b);
  if (q <= 5)
    return false;
  uint8_t bcc = 0;
  for (size_t i = 2; i <= q - 2; ++i)
    bcc = static_cast<uint8_t>(bcc ^ b[i]);
  if (bcc != b[q - 1])
    return false;
  status = Char(b[2]);
  sign = Char(b[3]);
  return true;
}

} // namespace

bool TIS1::check(std::span<const uint8_t> frame) {
  size_t q = 0;
  if (!ParseHead(frame, q, fstatus, fsign))
    return false;

  fWeight.clear();
  for (size_t i = 4; i <= q - 2; ++i)
    if (IsWeightChar(static_cast<char16_t>(frame[i])))
      fWeight.push_back(static_cast<char16_t>(frame[i]));
  fUnit.clear();
  for (size_t i = 4 + fWeight.size(); i <= q - 2; ++i)
    fUnit.push_back(static_cast<char16_t>(frame[i]));

  // The bound comes first: a plain frame ends before the extension mark.
  if (q + 5 < frame.size() && frame[q + 3] == ExtensionMark)
    return ParseExtension(frame, q);
  Fflag = q + 2 < frame.size() ? frame[q + 2] : 0;
  return true;
}

bool TIS1::ParseExtension(std::span<const uint8_t> b, size_t q) {
  frameBytes_.assign(b.begin(), b.end());
  const auto field = [&](TDCDataType type, size_t position, int32_t width, int32_t decimals) {
    int32_t pos = static_cast<int32_t>(position);
    return Encoding_.BufToData(type, frameBytes_, pos, width, decimals);
  };
  const auto bin = [&](size_t position, int32_t width, int32_t decimals) {
    return VariantToDouble(field(dtBIN, position, width, decimals)).value_or(0);
  };

  const double length = bin(q + 4, 1, 0);
  flen = FloatToText(length);
  if (length + static_cast<double>(q) + 7 > static_cast<double>(b.size()) || b.size() < q + 19)
    return false;

  fdp = VariantToText(field(dtBCD, q + 5, 1, 0));
  const std::optional<int64_t> d1 = fdp.size() == 2 ? TextToInt(fdp.substr(0, 1)) : std::nullopt;
  const std::optional<int64_t> d2 = fdp.size() == 2 ? TextToInt(fdp.substr(1, 1)) : std::nullopt;
  if (!d1 || !d2)
    return false;
  const int32_t priceDecimals = static_cast<int32_t>(*d1);
  const int32_t totalDecimals = static_cast<int32_t>(*d2);
  fprice_bin = FixedText(bin(q + 6, 4, priceDecimals), priceDecimals);
  ftotal_bin = FixedText(bin(q + 10, 4, totalDecimals), totalDecimals);

  const uint8_t key = b[q + 14];
  fkeyvalue = key == 255 ? std::u16string() : IntToText(key & 0x7F);
  fWeightAD = FloatToText(bin(q + 15, 2, 0));
  fbcc = Char(b[q + 17]);
  Fflag = b[q + 18];

  return AccumulateSales() && AccumulateTare();
}

bool TIS1::AccumulateSales() {
  const int64_t key = TextToInt(fkeyvalue).value_or(-1);
  if (foldprice != ftotal_bin && key >= FirstSaleKey && key <= LastSaleKey) {
    foldprice = ftotal_bin;
    fNumber += 1;
    std::u16string weight = fWeight;
    for (char16_t &c : weight)
      if (c == u',')
        c = u'.';
    const std::optional<double> value = WeightValue(weight);
    if (!value)
      return false;
    fweightsum += *value;
  } else if (key == ClearingKey) {
    fNumber = 0;
    foldprice.clear();
    fweightsum = 0;
  }
  return true;
}

bool TIS1::AccumulateTare() {
  if ((Fflag & TareFlag) == 0) {
    fTareWeight = 0;
    foldweight.clear();
    return true;
  }
  const std::u16string w = Without(Trim(fWeight), u',');
  std::u16string o = Without(Trim(foldweight), u',');
  if (o.empty())
    o = u"0";
  std::optional<double> wValue;
  if (!w.empty()) {
    wValue = WeightValue(w);
    if (!wValue)
      return false;
  }
  if (wValue && *wValue == 0) {
    const std::optional<double> oValue = WeightValue(o);
    if (!oValue)
      return false;
    fTareWeight += *oValue;
  } else if (fsign == u"-") {
    // An empty weight is no number either.
    if (!wValue)
      return false;
    if (*wValue != 0)
      fTareWeight = 0;
  }
  foldweight = Trim(fWeight);
  return true;
}

bool TIS1::checkD0(std::span<const uint8_t> frame) {
  if (frame.empty())
    return false;
  std::vector<uint8_t> b(frame.begin() + 1, frame.end());
  b.push_back(0);
  size_t q = 0;
  if (!ParseHead(b, q, fstatus, fsign))
    return false;
  const size_t weightLength = q >= 7 ? q - 7 : 0;
  fWeight.assign(b.begin() + 4, b.begin() + 4 + static_cast<std::ptrdiff_t>(weightLength));
  const size_t unitStart = 4 + weightLength;
  fUnit.assign(b.begin() + static_cast<std::ptrdiff_t>(unitStart),
               b.begin() + static_cast<std::ptrdiff_t>(unitStart + 2));
  Fflag = 0;
  return true;
}

} // namespace pondrex
