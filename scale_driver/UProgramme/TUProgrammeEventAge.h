// One progress report of a firmware download: its text, its status (0
// failed, 1 complete, 2 in progress, 3 waiting), the total (blocks, or the
// file size for early failures) and the current block number, or 0.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pondrex {

class TUProgrammeEventAge {
public:
  static constexpr int32_t Failed = 0;
  static constexpr int32_t Complete = 1;
  static constexpr int32_t InProgress = 2;
  static constexpr int32_t Waiting = 3;

  const std::u16string &Message() const { return FMessage; }
  void SetMessage(std::u16string value) { FMessage = std::move(value); }
  int32_t Status() const { return FStatus; }
  void SetStatus(int32_t value) { FStatus = value; }
  int32_t TotalNo() const { return FTotalNo; }
  void SetTotalNo(int32_t value) { FTotalNo = value; }
  int32_t CurNo() const { return FCurNo; }
  void SetCurNo(int32_t value) { FCurNo = value; }

private:
  std::u16string FMessage;
  int32_t FStatus = 0;
  int32_t FTotalNo = 0;
  int32_t FCurNo = 0;
};

class TUProgramme;

using TUProgrammeevent = std::function<void(TUProgramme &Sender, TUProgrammeEventAge &Age)>;

} // namespace pondrex
