// One entry of the scale command table: the 32-bit command code, its kind,
// a caption and an optional 16-bit parameter that is OR-ed into the code
// when the command is sent.
#pragma once

#include "THecrLinkStatus.h"

#include <cstdint>
#include <string>

namespace pondrex {

class TccHecrCommand {
public:
  // The class name, which a new entry takes as its caption.
  static constexpr std::u16string_view ClassName = u"TccHecrCommand";

  // collectionItemId: the sequence number that the owning list gave the new
  // item (0 for the first item the list ever made); ID starts one above it.
  explicit TccHecrCommand(int32_t collectionItemId);

  int32_t ID() const { return FID; }
  void SetID(int32_t value) { FID = value; }
  const std::u16string &Caption() const { return FCaption; }
  void SetCaption(std::u16string value) { FCaption = std::move(value); }
  uint32_t Command() const { return FCommand; }
  void SetCommand(uint32_t value) { FCommand = value; }
  THecrLinkStatus Status() const { return FStatus; }
  void SetStatus(THecrLinkStatus value) { FStatus = value; }
  // When set, the code sent is Command OR Orvalue.
  bool Orflag() const { return FOrflag; }
  void SetOrflag(bool value) { FOrflag = value; }
  uint16_t Orvalue() const { return FOrvalue; }
  void SetOrvalue(uint16_t value) { FOrvalue = value; }

  // Copies ID, Caption, Command, Status, Orflag and Orvalue.
  void Assign(const TccHecrCommand &source);
  // The caption when it holds more than blanks (returned untrimmed), else the
  // class name.
  std::u16string GetDisplayName() const;

private:
  std::u16string FCaption;
  uint32_t FCommand = 0;
  THecrLinkStatus FStatus = THecrLinkStatus::ifSend;
  int32_t FID = 0;
  bool FOrflag = false;
  uint16_t FOrvalue = 0;
};

// The text without the blanks (U+0020) at both ends.
std::u16string TrimBlanks(std::u16string_view text);

} // namespace pondrex
