// The weight frames that a price-computing scale sends while the price bus
// is active, and the reports made of them.
//
//   short form    [status][value][weight high][weight low]            4 bytes
//   weight group  [status][value][weight high][weight low][unit code] 5 bytes each
//   'Z' group     ['Z'][value][not interpreted][weight high][weight low]
//
// A frame of groups is 5, 10, 15 ... bytes long; a 'Z' group is its first or
// second group. Value and weight are binary fields of the codec, signed by
// its rule (a value byte of 128 or more gives -1).
//
// A report is the text stable:value:weight:unit:flag; most unit texts hold
// a colon of their own ("N:KG"), so such a report has six parts.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pondrex {

struct TWeightReport {
  int32_t Stable = 0;
  int32_t Value = 0;
  // The weight after the sign of the status letter and the unit's scaling.
  double Weight = 0;
  std::u16string WeightText;
  std::u16string UnitText;
  std::u16string Flag;

  bool operator==(const TWeightReport &) const = default;
};

// 'S', 'W', 's', 'w'.
bool IsStableStatus(uint8_t status);
// 'p', 's', 'w', 'y'.
bool IsNegativeStatus(uint8_t status);

// The report's text: "stable:value:weight:unit:flag".
std::u16string ReportText(const TWeightReport &report);

// The weight text and unit text of a weight group for its unit code (the
// low 4 bits count), w being the weight after the status sign: w / 1000
// with three decimals and decimalSeparator, or hundredths with a ".", or
// whole units, or nothing, as the unit needs. scaledWeight receives w / 1000
// for the units whose text divides by 1000, else w.
void UnitWeightText(uint8_t unitCode, double w, char16_t decimalSeparator, std::u16string &weightText,
                    std::u16string &unitText, double &scaledWeight);

// The reports of one frame, in order: for the short form one; for a frame
// of groups first its 'Z' group if it has one (from 10 bytes on), then its
// last weight group (its third when both of the first two groups start with
// 'Z'; nothing for that group when the frame has only those two). Other
// lengths give none. Never reads outside frame.
std::vector<TWeightReport> DecodeWeightFrame(TPelqoencode &codec, std::span<const uint8_t> frame,
                                             char16_t decimalSeparator);

} // namespace pondrex
