#include "THecrprotocolCheck.h"

#include "TPelqoencode.h"
#include "TccHecrCommand.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <limits>

namespace pondrex {

namespace {

constexpr uint32_t ShortHeaderTemperatureTable = 0xA0000000u;
constexpr uint32_t ShortHeaderWindLevel = 0xA0030000u;

bool IsShortHeaderCode(uint32_t command) {
  return command == ShortHeaderTemperatureTable || command == ShortHeaderWindLevel;
}

bool IsStartByte(uint8_t value) {
  return value == 0x3C || value == 0xAA || value == 0xAB || value == 0xFD || value == 0xFE;
}

uint8_t HeaderSum(std::span<const uint8_t> header) {
  uint8_t sum = 0;
  for (size_t i = 0; i < 12; ++i)
    sum = static_cast<uint8_t>(sum + header[i]);
  return sum;
}

// Each byte as two lower-case hex digits and a blank.
void AppendHexBytes(std::string &text, std::span<const uint8_t> bytes) {
  static constexpr char Digits[] = "0123456789abcdef";
  size_t at = text.size();
  text.resize(at + 3 * bytes.size());
  for (const uint8_t b : bytes) {
    text[at++] = Digits[b >> 4];
    text[at++] = Digits[b & 0x0F];
    text[at++] = ' ';
  }
}

// CRC-16/XMODEM of each byte value fed into a CRC of 0, for the table-driven
// form of CRC16: one lookup a byte instead of eight shifts.
constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (uint32_t value = 0; value < 256; ++value) {
    uint16_t crc = static_cast<uint16_t>(value << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>((crc & 0x8000u) != 0 ? (crc << 1) ^ 0x1021u : crc << 1);
    table[value] = crc;
  }
  return table;
}
constexpr std::array<uint16_t, 256> CrcTable = MakeCrcTable();

uint16_t CrcStep(uint16_t crc, uint8_t b) {
  return static_cast<uint16_t>(crc << 8 ^ CrcTable[(crc >> 8 ^ b) & 0xFFu]);
}

// A decimal integer with an optional sign, within the range of a signed
// 64-bit integer; nothing else (no blanks, no hex).
bool ParseDecimalInt64(std::u16string_view text, int64_t &value) {
  bool negative = false;
  size_t i = 0;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size())
    return false;
  const uint64_t limit =
      negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9')
      return false;
    const uint64_t digit = static_cast<uint64_t>(text[i] - u'0');
    if (magnitude > (limit - digit) / 10)
      return false;
    magnitude = magnitude * 10 + digit;
  }
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// Puts value as decimal text into text, reusing its room.
void SetDecimalText(std::u16string &text, uint32_t value) {
  char16_t digits[10];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  text.assign(std::make_reverse_iterator(digits + count), std::make_reverse_iterator(digits));
}

} // namespace

THecrprotocolCheck::THecrprotocolCheck() : Pelqoencode1(std::make_unique<TPelqoencode>()) {}

THecrprotocolCheck::~THecrprotocolCheck() = default;

int32_t THecrprotocolCheck::PackageBuffer(std::span<const uint8_t> source, int32_t Len,
                                          std::vector<uint8_t> &Buffer) {
  FLinkStatus = THecrLinkStatus::ifSend;
  // The length field holds 16 bits, and every data byte must come from source.
  const int32_t dataLen = Len > 0 ? Len : 0;
  if (dataLen > 0xFFFF || static_cast<size_t>(dataLen) > source.size())
    return 0;
  int64_t ecrId = 0;
  if (!ParseDecimalInt64(FEcrID, ecrId))
    return 0;

  const int32_t frameLen = dataLen == 0 ? HeaderSize : dataLen + 15;
  const bool usb = FMode == TCommunicationMode::cmUSB;
  std::vector<uint8_t> frame(static_cast<size_t>(usb ? frameLen + 2 : frameLen), 0);
  int32_t pos = 0;
  if (usb) {
    frame[0] = static_cast<uint8_t>(frameLen >> 8);
    frame[1] = static_cast<uint8_t>(frameLen);
    pos = 2;
  }
  const int32_t headerStart = pos;

  frame[static_cast<size_t>(pos++)] = (FCommand == 0x71030000u || FCommand == 0x50210000u) ? 0xAA : 0xAB;
  // An ID beyond 32 bits goes out modulo 2^32.
  if (!CardinalToBuffer(static_cast<uint32_t>(static_cast<uint64_t>(ecrId)), frame, pos))
    return 0;
  pos += 4;
  if (usb || !IsShortHeaderCode(FCommand)) {
    if (!CardinalToBuffer(FCommand, frame, pos))
      return 0;
    pos += 4;
  } else {
    if (!CardinalToBuffer(FCommand >> 16, frame, pos))
      return 0;
    pos += 2;
    frame[static_cast<size_t>(pos)] = static_cast<uint8_t>(FPackageNo);
    pos += 2;
  }
  frame[static_cast<size_t>(pos++)] = static_cast<uint8_t>(FPackageNo);
  frame[static_cast<size_t>(pos++)] = static_cast<uint8_t>(dataLen >> 8);
  frame[static_cast<size_t>(pos++)] = static_cast<uint8_t>(dataLen);
  frame[static_cast<size_t>(pos++)] = HeaderSum(std::span<const uint8_t>(frame).subspan(headerStart));
  FErrorID = 0;

  if (dataLen > 0) {
    uint16_t crc = 0;
    for (int32_t i = 0; i < dataLen; ++i) {
      const uint8_t b = source[static_cast<size_t>(i)];
      frame[static_cast<size_t>(pos++)] = b;
      CRC16(crc, b);
    }
    frame[static_cast<size_t>(pos++)] = static_cast<uint8_t>(crc >> 8);
    frame[static_cast<size_t>(pos++)] = static_cast<uint8_t>(crc);
  }

  FReceive = "Send:";
  AppendHexBytes(FReceive, frame);
  receiveLogPending_ = false;
  Buffer = std::move(frame);
  return static_cast<int32_t>(Buffer.size());
}

bool THecrprotocolCheck::Fail(int32_t errorId) {
  FErrorID = errorId;
  return false;
}

bool THecrprotocolCheck::CheckData(std::span<const uint8_t> AStream, std::vector<uint8_t> &Buffer,
                                   int32_t &offset) {
  FErrorID = 0;
  FLinkStatus = THecrLinkStatus::NULL_;
  FResultID = 0;
  std::span<const uint8_t> rest;
  const bool passed = CheckFrom(AStream, Buffer, offset, rest);
  // A check that read no bytes leaves the log line of the one before.
  if (rest.data() != nullptr) {
    receiveLogRest_.assign(rest.begin(), rest.end());
    receiveLogOffset_ = offset;
    receiveLogPending_ = true;
  }
  return passed;
}

// The check from offset on; rest is left on the bytes of the frame where it
// stopped, or null when it stopped before reading any.
bool THecrprotocolCheck::CheckFrom(std::span<const uint8_t> AStream, std::vector<uint8_t> &Buffer,
                                   int32_t &offset, std::span<const uint8_t> &rest) {
  for (;;) {
    FReceiveLen = 0;
    if (offset < 0 || static_cast<size_t>(offset) >= AStream.size())
      return Fail(ErrIncomplete);
    rest = AStream.subspan(static_cast<size_t>(offset));
    // The log line starts afresh with every frame read.
    receiveLogNotes_.clear();

    if (!IsStartByte(rest[0]))
      return Fail(ErrBadStartByte);
    if (rest.size() < static_cast<size_t>(HeaderSize))
      return Fail(ErrTooShort);

    FParaValue = rest[8];
    FPackageNo = rest[9];
    const uint16_t n = static_cast<uint16_t>(rest[10] << 8 | rest[11]);
    FReceiveLen = n;
    // A frame with data is n + 15 bytes; with the CRC check off its last two
    // bytes are not needed.
    if (rest.size() < static_cast<size_t>(n) + 13)
      return Fail(ErrIncomplete);
    if (n > 0 && FCheckcrc && rest.size() < static_cast<size_t>(n) + 15)
      return Fail(ErrIncomplete);

    SetDecimalText(FEcrID, BufferToCardinal(rest, 1, 4));
    FCommand = BufferToCardinal(rest, 5, 4);
    const uint32_t high = FCommand >> 16;

    if (FhCmd != nullptr) {
      FLinkStatus = FhCmd->Status();
      // An unsolicited measurement or a 0x5007 frame in front of the answer:
      // skip it when more bytes follow it.
      if (high == 0x8300 || high == 0x5007) {
        receiveLogNotes_ += high == 0x8300 ? " cmd :830000" : " cmd :50070000";
        const size_t frameSize = n == 0 ? static_cast<size_t>(HeaderSize) : static_cast<size_t>(n) + 15;
        if (rest.size() > frameSize) {
          receiveLogNotes_ += " (dLen+CmdLen+2)<dSize";
          if (frameSize > static_cast<size_t>(std::numeric_limits<int32_t>::max() - offset))
            return Fail(ErrIncomplete);
          offset += static_cast<int32_t>(frameSize);
          continue;
        }
        if (rest.size() == frameSize) {
          receiveLogNotes_ += " (dLen+CmdLen+2)=dSize";
          return Fail(ErrOnlyUnsolicited);
        }
      }
    } else if (high == 0x8300) {
      FLinkStatus = THecrLinkStatus::ifQty;
    }

    if (high == 0x800E)
      receiveLogNotes_ += " cmd :800E0000";
    if (FChecksum && !CheckHeaderSum(rest))
      return Fail(ErrHeaderSum);
    if (n == 0)
      return true;

    crcData_.resize(n);
    if (!CheckCRC(rest, crcData_, n)) {
      char crcText[16];
      std::snprintf(crcText, sizeof crcText, "%2.2x %2.2x", CRCVal_ >> 8, CRCVal_ & 0xFF);
      receiveLogNotes_ += "CRC ERROR:";
      receiveLogNotes_ += crcText;
      return Fail(ErrCrc);
    }
    Buffer.assign(crcData_.begin(), crcData_.begin() + n);
    return true;
  }
}

const std::string &THecrprotocolCheck::Logstring() const {
  if (receiveLogPending_) {
    FReceive = "Receive:";
    FReceive.reserve(FReceive.size() + 3 * receiveLogRest_.size() + 20 + receiveLogNotes_.size());
    AppendHexBytes(FReceive, receiveLogRest_);
    FReceive += "offset:" + std::to_string(receiveLogOffset_);
    FReceive += receiveLogNotes_;
    receiveLogPending_ = false;
  }
  return FReceive;
}

uint16_t THecrprotocolCheck::CRC16(uint16_t &CRCSum, uint16_t Data) {
  CRCSum = CrcStep(CRCSum, static_cast<uint8_t>(Data));
  return CRCSum;
}

bool THecrprotocolCheck::CardinalToBuffer(uint32_t Value, std::span<uint8_t> Buffer, int32_t iStart) const {
  const size_t width = IsShortHeaderCode(FCommand) ? 2 : 4;
  if (iStart < 0 || static_cast<size_t>(iStart) > Buffer.size() ||
      Buffer.size() - static_cast<size_t>(iStart) < width)
    return false;
  for (size_t i = 0; i < width; ++i)
    Buffer[static_cast<size_t>(iStart) + i] = static_cast<uint8_t>(Value >> (8 * (width - 1 - i)));
  return true;
}

uint32_t THecrprotocolCheck::BufferToCardinal(std::span<const uint8_t> Buffer, int32_t iStart,
                                              int32_t iLen) const {
  if (iLen < 1 || iLen > 4 || iStart < 0 || static_cast<size_t>(iStart) > Buffer.size() ||
      Buffer.size() - static_cast<size_t>(iStart) < static_cast<size_t>(iLen))
    return 0;
  uint32_t value = 0;
  for (int32_t i = 0; i < iLen; ++i)
    value = value << 8 | Buffer[static_cast<size_t>(iStart + i)];
  return value;
}

bool THecrprotocolCheck::CheckHeaderSum(std::span<const uint8_t> frame) const {
  return frame.size() >= static_cast<size_t>(HeaderSize) && frame[12] == HeaderSum(frame);
}

bool THecrprotocolCheck::CheckCRC(std::span<const uint8_t> frame, std::span<uint8_t> Buffer, uint16_t n) {
  if (frame.size() < static_cast<size_t>(n) + 13 || Buffer.size() < n)
    return false;
  const std::span<const uint8_t> data = frame.subspan(13, n);
  std::copy(data.begin(), data.end(), Buffer.begin());
  uint16_t crc = 0;
  for (const uint8_t b : data)
    crc = CrcStep(crc, b);
  CRCVal_ = crc;
  if (!FCheckcrc)
    return true;
  // The CRC bytes are read only when they are compared.
  if (frame.size() < static_cast<size_t>(n) + 15)
    return false;
  return frame[13 + n] == static_cast<uint8_t>(crc >> 8) && frame[14 + n] == static_cast<uint8_t>(crc);
}

void THecrprotocolCheck::SaveDebugLog(std::string text) {
  logls_.push_back(std::move(text));
}

} // namespace pondrex
