#include "WeightReports.h"

#include "NumberText.h"

#include <cmath>
#include <cstdlib>

namespace pondrex {

namespace {

constexpr uint8_t ZGroupStart = 'Z';
constexpr size_t ShortFormLength = 4;
constexpr size_t GroupLength = 5;

enum class TWeightStyle : uint8_t { Thousandths, Hundredths, Whole, None };

struct TUnitEntry {
  TWeightStyle Style;
  const char16_t *Unit;
};

// Indexed by the low 4 bits of the unit code.
constexpr TUnitEntry UnitTable[16] = {
    {TWeightStyle::Thousandths, u"N:KG"},    {TWeightStyle::Hundredths, u"500G:JIN"},
    {TWeightStyle::Thousandths, u"600G:KG"}, {TWeightStyle::Whole, u"G:G"},
    {TWeightStyle::Thousandths, u"N:LB"},    {TWeightStyle::None, u"100G:V"},
    {TWeightStyle::Thousandths, u"TL:KG"},   {TWeightStyle::None, u"OZ:V"},
    {TWeightStyle::Thousandths, u"KG:KG"},   {TWeightStyle::Thousandths, u"500G:KG"},
    {TWeightStyle::Whole, u"600G:TJIN"},     {TWeightStyle::None, u""},
    {TWeightStyle::Thousandths, u"LB:LB"},   {TWeightStyle::None, u""},
    {TWeightStyle::None, u"TL:V"},           {TWeightStyle::None, u""},
};

int64_t Rounded(double value) {
  return RoundHalfEven(value).value_or(0);
}

// |units| / 10^decimals, the separator and the fraction digits, with a
// minus sign for negative values ("%.3f" of units / 1000 when decimals is 3).
std::u16string FixedText(int64_t units, int decimals, char16_t separator) {
  const uint64_t magnitude = units < 0 ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
  uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i)
    scale *= 10;
  std::u16string fraction = IntToText(static_cast<int64_t>(magnitude % scale));
  fraction.insert(0, static_cast<size_t>(decimals) - fraction.size(), u'0');
  std::u16string text = units < 0 ? u"-" : u"";
  text += IntToText(static_cast<int64_t>(magnitude / scale));
  text += separator;
  text += fraction;
  return text;
}

int32_t ValueField(TPelqoencode &codec, std::span<const uint8_t> frame, size_t at) {
  return static_cast<int32_t>(Rounded(codec.BufToBin(frame, static_cast<int32_t>(at), 1, 0)));
}

double WeightField(TPelqoencode &codec, std::span<const uint8_t> frame, size_t at) {
  return codec.BufToBin(frame, static_cast<int32_t>(at), 2, 0);
}

TWeightReport ShortFormReport(TPelqoencode &codec, std::span<const uint8_t> frame) {
  TWeightReport report;
  const uint8_t status = frame[0];
  report.Stable = IsStableStatus(status) ? 1 : 0;
  report.Value = ValueField(codec, frame, 1);
  double w = WeightField(codec, frame, 2);
  if (IsNegativeStatus(status))
    w = -w;
  report.Weight = w;
  report.WeightText = IntToText(Rounded(w));
  report.UnitText = u"KG";
  report.Flag = u"0";
  return report;
}

TWeightReport ZGroupReport(TPelqoencode &codec, std::span<const uint8_t> frame, size_t g) {
  TWeightReport report;
  report.Stable = 0;
  report.Value = ValueField(codec, frame, g + 1);
  report.Weight = WeightField(codec, frame, g + 3);
  report.WeightText = IntToText(Rounded(report.Weight));
  // The flag would follow the stability of a weight group reported before
  // it in the same frame; the 'Z' group always comes first, so it is "0".
  report.Flag = u"0";
  return report;
}

TWeightReport GroupReport(TPelqoencode &codec, std::span<const uint8_t> frame, size_t z, char16_t separator) {
  TWeightReport report;
  const uint8_t status = frame[z];
  report.Stable = IsStableStatus(status) ? 1 : 0;
  report.Value = ValueField(codec, frame, z + 1);
  double w = WeightField(codec, frame, z + 2);
  if (IsNegativeStatus(status))
    w = -w;
  UnitWeightText(frame[z + 4], w, separator, report.WeightText, report.UnitText, report.Weight);
  report.Flag = u"0";
  return report;
}

} // namespace

bool IsStableStatus(uint8_t status) {
  return status == 'S' || status == 'W' || status == 's' || status == 'w';
}

bool IsNegativeStatus(uint8_t status) {
  return status == 'p' || status == 's' || status == 'w' || status == 'y';
}

std::u16string ReportText(const TWeightReport &report) {
  return IntToText(report.Stable) + u":" + IntToText(report.Value) + u":" + report.WeightText + u":" +
         report.UnitText + u":" + report.Flag;
}

void UnitWeightText(uint8_t unitCode, double w, char16_t decimalSeparator, std::u16string &weightText,
                    std::u16string &unitText, double &scaledWeight) {
  const TUnitEntry &entry = UnitTable[unitCode & 0x0F];
  unitText = entry.Unit;
  scaledWeight = w;
  switch (entry.Style) {
  case TWeightStyle::Thousandths:
    // Weights are whole numbers here, so the thousandths are exact.
    weightText = FixedText(Rounded(w), 3, decimalSeparator);
    scaledWeight = w / 1000;
    break;
  case TWeightStyle::Hundredths:
    weightText = FixedText(Rounded(w), 2, u'.');
    break;
  case TWeightStyle::Whole:
    weightText = IntToText(Rounded(w));
    break;
  case TWeightStyle::None:
    weightText.clear();
    break;
  }
}

std::vector<TWeightReport> DecodeWeightFrame(TPelqoencode &codec, std::span<const uint8_t> frame,
                                             char16_t decimalSeparator) {
  std::vector<TWeightReport> reports;
  const size_t length = frame.size();
  if (length == ShortFormLength) {
    reports.push_back(ShortFormReport(codec, frame));
    return reports;
  }
  if (length == 0 || length % GroupLength != 0)
    return reports;
  // Only a frame of two groups or more has a 'Z' group.
  const bool grouped = length >= 2 * GroupLength;
  const bool firstZ = grouped && frame[0] == ZGroupStart;
  const bool secondZ = grouped && frame[GroupLength] == ZGroupStart;
  if (firstZ || secondZ)
    reports.push_back(ZGroupReport(codec, frame, secondZ ? GroupLength : 0));
  const size_t z = firstZ && secondZ ? 2 * GroupLength : length - GroupLength;
  if (z + GroupLength <= length)
    reports.push_back(GroupReport(codec, frame, z, decimalSeparator));
  return reports;
}

} // namespace pondrex
