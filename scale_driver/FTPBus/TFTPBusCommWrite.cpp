// Writing and logging on the price bus, and its second write path.
#include "TFTPBusComm.h"

#include "PumpWait.h"

#include <algorithm>
#include <cstdio>

namespace pondrex {

namespace {

constexpr size_t BytesPerLogLine = 16;
constexpr int32_t TerminalWrites = 3;
constexpr uint32_t TerminalWaitMs = 10000;
constexpr uint8_t TerminalAcknowledge = 0x02;

} // namespace

void TFTPBusComm::AddLog(std::string line) {
  FLogList.push_back(std::move(line));
  while (FLogList.size() > MaxLogLines)
    FLogList.pop_front();
}

void TFTPBusComm::LogBlock(const char *header, const uint8_t *bytes, uint16_t length) {
  AddLog(header);
  std::string line;
  for (uint16_t i = 0; i < length; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%2.2x ", bytes[i]);
    line += hex;
    if ((i + 1) % BytesPerLogLine == 0) {
      AddLog(std::move(line));
      line.clear();
    }
  }
  if (!line.empty())
    AddLog(std::move(line));
  AddLog("");
}

void TFTPBusComm::CommWrite(const uint8_t *Data, uint16_t Len) {
  isSendDataEmpty = false;
  // A write that was not queued reports no end: nothing is on its way.
  if (!Comm1 || !Comm1->WriteCommData(Data, Len))
    isSendDataEmpty = true;
  LogBlock(">>>>>>Send data<<<<<<<<", Data, Len);
}

void TFTPBusComm::CommRead(const uint8_t *Data, uint16_t Len) {
  if (isDebug)
    LogBlock(">>>>>>Receive data<<<<<<<<", Data, Len);
}

int16_t TFTPBusComm::comWriteData(std::span<const uint8_t> p, int32_t Length) {
  FTerminal = false;
  if (Length <= 0 || static_cast<size_t>(Length) > p.size())
    return 0;
  for (int32_t attempt = 0; attempt < TerminalWrites && !FTerminal; ++attempt) {
    if (!Comm1 || !Comm1->WriteCommData(p.data(), static_cast<uint32_t>(Length)))
      return 0;
    PumpUntil(platform_, TerminalWaitMs, [this] { return FTerminal; });
  }
  return FTerminal ? -1 : 0;
}

int16_t TFTPBusComm::writeData(std::span<const uint8_t> inbuf) {
  if (comWriteData(inbuf, static_cast<int32_t>(inbuf.size())) == 0)
    return 0;
  const bool acknowledged =
      std::find(FCommstream.begin(), FCommstream.end(), TerminalAcknowledge) != FCommstream.end();
  FCommstream.clear();
  return acknowledged ? -1 : 0;
}

} // namespace pondrex
