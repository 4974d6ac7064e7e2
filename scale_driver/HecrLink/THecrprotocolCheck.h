// Frame builder and frame checker of the scale's binary command protocol.
//
// Frame layout (multi-byte integers big-endian):
//   0      start byte: sent 0xAB, or 0xAA for the codes 0x71030000 and
//          0x50210000; accepted 0x3C, 0xAA, 0xAB, 0xFD, 0xFE
//   1..4   ECR ID
//   5..8   command code (high 16 bits: the command, low 16 bits: a parameter)
//   9      packet number
//   10..11 data length n
//   12     8-bit sum of bytes 0..11
//   13..   n data bytes, then their CRC-16/XMODEM, only when n > 0
// A frame is 13 bytes when n is 0 and n + 15 bytes otherwise.
//
// The codes 0xA0000000 and 0xA0030000 go out with a short header: the ID's
// low 16 bits and two zero bytes, the code's high 16 bits, the packet number,
// a zero byte, and the packet number again at its usual place.
// In cmUSB mode the frame is preceded by its own length (2 bytes) and the
// short header does not apply.
//
// Besides building and checking, the object remembers the exchange in
// progress: the command that waits (hCmd), the fields of the last frame built
// or checked, the outcome of the last check and a log line describing it.
#pragma once

#include "TCommunicationMode.h"
#include "THecrLinkStatus.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pondrex {

class TPelqoencode;
class TccHecrCommand;
class THecrCommandList;

class THecrprotocolCheck {
public:
  // The error codes that CheckData leaves in ErrorID.
  static constexpr int32_t ErrBadStartByte = 1;
  static constexpr int32_t ErrIncomplete = 2;
  static constexpr int32_t ErrOnlyUnsolicited = 3;
  static constexpr int32_t ErrHeaderSum = 4;
  static constexpr int32_t ErrCrc = 5;
  static constexpr int32_t ErrTooShort = 6;

  static constexpr int32_t HeaderSize = 13;

  THecrprotocolCheck();
  virtual ~THecrprotocolCheck();
  THecrprotocolCheck(const THecrprotocolCheck &) = delete;
  THecrprotocolCheck &operator=(const THecrprotocolCheck &) = delete;

  // The overridable operations, in the order of their virtual slots.

  // Copies the n data bytes from offset 13 into Buffer, computes their CRC
  // into CRCVal and, when FChkcrc is on, compares it with the bytes at 13 + n
  // (high) and 14 + n (low). True when they are equal or the CRC check is
  // off; false when the frame or Buffer is too short for that.
  virtual bool CheckCRC(std::span<const uint8_t> frame, std::span<uint8_t> Buffer, uint16_t n);
  // Byte 12 equals the 8-bit sum of bytes 0 to 11.
  virtual bool CheckHeaderSum(std::span<const uint8_t> frame) const;

  // Checks the frame that begins at offset in AStream. True when it passed;
  // then, when it carries data, Buffer receives its n data bytes. While a
  // command waits, unsolicited measurement (0x8300) and 0x5007 frames in front
  // of the answer are skipped, moving offset past them. Any byte sequence is
  // safe to check.
  virtual bool CheckData(std::span<const uint8_t> AStream, std::vector<uint8_t> &Buffer, int32_t &offset);

  // Reads iLen bytes (1 to 4) from iStart as a big-endian number; 0 when they
  // are not all inside Buffer or iLen is out of range.
  virtual uint32_t BufferToCardinal(std::span<const uint8_t> Buffer, int32_t iStart, int32_t iLen) const;

  // Builds the frame for the current Command, EcrID and PackageNo with the
  // first Len bytes of source as data into a new Buffer. Returns the number
  // of bytes in Buffer (length prefix included), or 0 when no frame could be
  // built: an EcrID that is no decimal integer, or a Len above 65535 or above
  // the size of source. Buffer is left as it was when the result is 0. A Len
  // of 0 or less builds a frame without data. LinkStatus is ifSend afterwards.
  virtual int32_t PackageBuffer(std::span<const uint8_t> source, int32_t Len, std::vector<uint8_t> &Buffer);

  // Appends a line to the object's own log.
  void SaveDebugLog(std::string text);

  // Feeds the low 8 bits of Data into the CRC-16/XMODEM held in CRCSum and
  // returns the new value, which is also left in CRCSum.
  static uint16_t CRC16(uint16_t &CRCSum, uint16_t Data);

  // Writes Value big-endian into 4 bytes from iStart, or only its low 16 bits
  // into 2 bytes while Command is exactly 0xA0000000 or 0xA0030000. False
  // when the bytes do not fit in Buffer.
  bool CardinalToBuffer(uint32_t Value, std::span<uint8_t> Buffer, int32_t iStart) const;

  const std::vector<std::string> &logls() const { return logls_; }
  uint16_t CRCVal() const { return CRCVal_; }
  TPelqoencode &Encoding() { return *Pelqoencode1; }
  // The text is put together when it is first read: a frame checked on the
  // serial line is never logged, so its bytes are not formatted.
  const std::string &Logstring() const;
  int32_t ErrorID() const { return FErrorID; }
  // Not owned; nothing in the link sets it.
  THecrCommandList *HecrCmdList() const { return FHecrCmdList; }
  void SetHecrCmdList(THecrCommandList *value) { FHecrCmdList = value; }
  uint32_t Command() const { return FCommand; }
  void SetCommand(uint32_t value) { FCommand = value; }
  int32_t PackageNo() const { return FPackageNo; }
  void SetPackageNo(int32_t value) { FPackageNo = value; }
  // The ECR ID as decimal text.
  const std::u16string &EcrID() const { return FEcrID; }
  void SetEcrID(std::u16string value) { FEcrID = std::move(value); }
  THecrLinkStatus LinkStatus() const { return FLinkStatus; }
  void SetLinkStatus(THecrLinkStatus value) { FLinkStatus = value; }
  int32_t ReceiveLen() const { return FReceiveLen; }
  // Compare the CRC / the header sum of received frames (off until the link
  // opens and copies its own settings in).
  bool FChkcrc() const { return FCheckcrc; }
  void SetFChkcrc(bool value) { FCheckcrc = value; }
  bool FChksum() const { return FChecksum; }
  void SetFChksum(bool value) { FChecksum = value; }
  // The command that waits for an answer, nullptr when none waits. Not owned.
  TccHecrCommand *hCmd() const { return FhCmd; }
  void SethCmd(TccHecrCommand *value) { FhCmd = value; }
  // The refusal code of the last refusal (set by the link); 0 after a check.
  int32_t ResultID() const { return FResultID; }
  void SetResultID(int32_t value) { FResultID = value; }
  // Byte 8 of the last checked frame.
  int32_t ParaValue() const { return FParaValue; }
  // The link's transport; cmUSB frames get the length prefix.
  TCommunicationMode Mode() const { return FMode; }
  void SetMode(TCommunicationMode value) { FMode = value; }

private:
  bool Fail(int32_t errorId);
  bool CheckFrom(std::span<const uint8_t> AStream, std::vector<uint8_t> &Buffer, int32_t &offset,
                 std::span<const uint8_t> &rest);

  std::vector<std::string> logls_;
  uint16_t CRCVal_ = 0;
  std::unique_ptr<TPelqoencode> Pelqoencode1;
  // The log line, or, while receiveLogPending_ is set, what it is made of:
  // "Receive:", the bytes of receiveLogRest_ in hex, "offset:" with
  // receiveLogOffset_, then receiveLogNotes_.
  mutable std::string FReceive;
  mutable bool receiveLogPending_ = false;
  std::vector<uint8_t> receiveLogRest_;
  int32_t receiveLogOffset_ = 0;
  std::string receiveLogNotes_;
  // Room for the data bytes of the frame being checked.
  std::vector<uint8_t> crcData_;
  int32_t FErrorID = 0;
  THecrCommandList *FHecrCmdList = nullptr;
  uint32_t FCommand = 0;
  int32_t FPackageNo = 0;
  std::u16string FEcrID;
  THecrLinkStatus FLinkStatus = THecrLinkStatus::ifSend;
  int32_t FReceiveLen = 0;
  bool FCheckcrc = false;
  bool FChecksum = false;
  TccHecrCommand *FhCmd = nullptr;
  int32_t FResultID = 0;
  int32_t FParaValue = 0;
  TCommunicationMode FMode = TCommunicationMode::cmCOM;
};

} // namespace pondrex
