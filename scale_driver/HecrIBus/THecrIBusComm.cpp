#include "THecrIBusComm.h"

#include "IBusBcd.h"
#include "PumpWait.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace pondrex {

using namespace ibus;

namespace {

// Packet commands and sub-commands.
constexpr uint8_t ConnectionControl = 14;
constexpr uint8_t ProgramTransfer = 15;
constexpr uint8_t SubConnect = 1;
constexpr uint8_t SubDisConnect = 2;
constexpr uint8_t SubStatus = 16;
constexpr uint8_t SubCheckBroadCast = 21;
constexpr uint8_t SubStart = 0;
constexpr uint8_t SubEnd = 1;

// Packet offsets of the connect request.
constexpr size_t IdAt = 3;
constexpr size_t DateTimeAt = 7;
constexpr size_t RateAt = 13;
constexpr size_t ModeAt = 14;
constexpr size_t DisConnectModeAt = 7;
constexpr size_t BroadCastIdsAt = 35;
constexpr uint8_t BroadCast1024 = 0x5A;
constexpr uint8_t BroadCast5120 = 0xA5;

// The status block of a device whose ID code begins with "VZR" reports this
// PLU count whatever it holds.
constexpr uint16_t VzrPluCount = 360;
// Buffer byte of the status request that asks for the status block.
constexpr size_t StatusRequestAt = 2;

constexpr size_t LogBytesPerLine = 16;

} // namespace

THecrIBusComm::THecrIBusComm(IPlatform &platform, const TLinkProcessFlags &flags,
                             std::filesystem::path debugLogFile, TLocalClock clock)
    : platform_(platform), flags_(flags), debugLogFile_(std::move(debugLogFile)), clock_(std::move(clock)),
      Comm1(platform.CreateComm()) {
  Comm1->SetBaudRate(IBusBaudRates[0]);
  Comm1->SetScaleLine(1);
  Comm1->OnReceiveData = [this](TCommBase &sender, const uint8_t *buffer, uint16_t length) {
    CommReceiveData(sender, buffer, length);
  };
  Comm1->OnSendDataEmpty = [this](TCommBase &) { isSendDataEmpty = true; };
  Timer1 = platform.CreateTimer(0, [this] { Timer1Timer(); });
}

THecrIBusComm::~THecrIBusComm() {
  // The handlers go before the component, which may still deliver events
  // while it stops.
  Comm1->OnReceiveData = nullptr;
  Comm1->OnSendDataEmpty = nullptr;
}

void THecrIBusComm::SetBaudRate(TBaudRate value) {
  FBaudRate = value;
  SetPortRate(IBusRate(value));
}

void THecrIBusComm::SetPortRate(uint32_t rate) {
  Comm1->SetBaudRate(rate);
}

// --- Port and log --------------------------------------------------------

void THecrIBusComm::EnableComm(uint8_t Enable) {
  if (Enable == 1) {
    Comm1->SetCommName(FCommName);
    if (FisActive || Comm1->IsOpen()) {
      FisActive = false;
      Comm1->StopComm();
    }
    try {
      Comm1->StartComm();
    } catch (...) {
      platform_.ShowMessageBox(u"Error opening " + FCommName + u"!\r\nplease select other ports.", u"Error",
                               TMessageBoxIcon::Error);
      throw;
    }
    FisActive = true;
    LogList_.Clear();
    return;
  }
  FisActive = false;
  Comm1->StopComm();
  [[maybe_unused]] const bool saved = LogList_.SaveToFile(debugLogFile_);
}

void THecrIBusComm::LogBytes(const char *title, const uint8_t *bytes, uint16_t count) {
  LogList_.Add(title);
  std::string line;
  for (uint16_t i = 0; i < count; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%2.2X ", static_cast<unsigned>(bytes[i]));
    line += hex;
    if ((i + 1) % LogBytesPerLine == 0) {
      LogList_.Add(std::move(line));
      line.clear();
    }
  }
  if (!line.empty())
    LogList_.Add(std::move(line));
  LogList_.Add("");
}

void THecrIBusComm::LogRetry(int32_t attempt) {
  if (attempt > 0 && isDebug) {
    LogList_.Add("");
    LogList_.Add("Retry:" + std::to_string(attempt));
  }
}

bool THecrIBusComm::CommWrite(const uint8_t *Data, uint16_t Len) {
  isSendDataEmpty = false;
  bool queued = false;
  if (iMode == 0 || flags_.UsbScaleFound == 0)
    queued = Comm1->WriteCommData(Data, Len);
  if (isDebug)
    LogBytes(">>>>>>Send data<<<<<<<<", Data, Len);
  return queued;
}

void THecrIBusComm::CommRead(const uint8_t *Data, uint16_t Len) {
  if (isDebug)
    LogBytes(">>>>>>Receive data<<<<<<<<", Data, Len);
}

void THecrIBusComm::USBWrite(const uint8_t *, uint16_t) {
  isSendDataEmpty = false;
}

void THecrIBusComm::CommReceiveData(TCommBase &, const uint8_t *Buffer, uint16_t BufferLength) {
  if (Buffer == nullptr)
    return;
  const std::span<const uint8_t> answer = receiver_.Take(std::span<const uint8_t>(Buffer, BufferLength));
  if (!answer.empty())
    CommRead(answer.data(), static_cast<uint16_t>(answer.size()));
}

// --- Waits ---------------------------------------------------------------

void THecrIBusComm::Timer1Timer() {
  isTimeOut = true;
  Timer1->SetEnabled(false);
}

void THecrIBusComm::Abort() {
  Error = true;
  isAbort = true;
}

void THecrIBusComm::ResetReceiveState() {
  Error = false;
  isAbort = false;
  receiver_.Reset();
}

bool THecrIBusComm::WaitSendDataEmpty() {
  return PumpUntil(platform_, SendEmptyBoundMs, [this] { return isSendDataEmpty || Error; }) ==
         TWaitEnd::Done;
}

THecrIBusComm::TReplyResult THecrIBusComm::WaitReply(int32_t interval) {
  ResetReceiveState();
  if (!WaitSendDataEmpty())
    Error = true;
  // A timer with the interval 0 would never fire.
  const uint32_t intervalMs = interval > 0 ? static_cast<uint32_t>(interval) : 1;
  isTimeOut = false;
  Timer1->SetInterval(intervalMs);
  Timer1->SetEnabled(true);
  const auto ended = [this] {
    return isTimeOut || Error || receiver_.ReceiveStatus > TIBusReceiver::Receiving;
  };
  if (PumpUntil(platform_, intervalMs + TimerSlackMs, ended) == TWaitEnd::BoundReached)
    isTimeOut = true;
  Timer1->SetEnabled(false);
  if (Error)
    return TReplyResult::Abort;
  if (isTimeOut)
    return FBroadCast ? TReplyResult::Acknowledged : TReplyResult::TimeOut;
  if (receiver_.Reply == IBusRefuse)
    return TReplyResult::Refused;
  if (receiver_.Reply == IBusAcknowledge)
    return TReplyResult::Acknowledged;
  return TReplyResult::Frame;
}

THecrIBusComm::TReplyResult THecrIBusComm::WriteFrameAndWait(int32_t interval) {
  if (!CommWrite(CommData_.data(), static_cast<uint16_t>(IBusFrameSize))) {
    Error = true;
    return TReplyResult::Abort;
  }
  return WaitReply(interval);
}

bool THecrIBusComm::Delay(int32_t seconds) {
  const uint32_t limitMs = static_cast<uint32_t>(std::clamp<int64_t>(int64_t{seconds} * 1000, 0, INT32_MAX));
  return PumpUntil(platform_, limitMs, [this] { return Error; }) == TWaitEnd::BoundReached;
}

// --- Packets ---------------------------------------------------------------

void THecrIBusComm::StartPackage(uint8_t command, uint8_t subCommand, uint8_t addressHigh) {
  Data_.fill(0);
  Data_[0] = command;
  Data_[1] = subCommand;
  Data_[2] = addressHigh;
}

bool THecrIBusComm::SendPackage() {
  if (FBroadCast) {
    EncodePackage(Data_, CommData_);
    receiver_.isReceiveData = false;
    if (Failed(WriteFrameAndWait(FBroadCastInterval))) {
      Error = true;
      return false;
    }
    return true;
  }
  for (int32_t attempt = 0;; ++attempt) {
    EncodePackage(Data_, CommData_);
    LogRetry(attempt);
    receiver_.isReceiveData = false;
    if (WriteFrameAndWait(FRetryInterval) == TReplyResult::Acknowledged)
      return true;
    if (Error || attempt >= FRetryCount) {
      Error = true;
      return false;
    }
  }
}

bool THecrIBusComm::SendRequestFrame() {
  std::copy_n(RequestData.begin(), IBusPackageSize, Data_.begin());
  EncodePackage(Data_, CommData_);
  std::copy_n(CommData_.begin() + 1, receiver_.cmdbytes.size(), receiver_.cmdbytes.begin());
  return CommWrite(CommData_.data(), static_cast<uint16_t>(IBusFrameSize));
}

bool THecrIBusComm::RequestPackage() {
  for (int32_t attempt = 0;; ++attempt) {
    isErrorPackage = false;
    LogRetry(attempt);
    receiver_.isReceiveData = true;
    TReplyResult reply = TReplyResult::Abort;
    if (SendRequestFrame())
      reply = WaitReply(FRetryInterval);
    else
      Error = true;
    if (reply == TReplyResult::Frame) {
      if (!DecodePackage(receiver_.CommData, Data_))
        isErrorPackage = true;
      if (!isErrorPackage)
        return true;
    }
    if (Error || attempt >= FRetryCount) {
      Error = true;
      return false;
    }
  }
}

bool THecrIBusComm::DownloadData(uint8_t DT, uint16_t Addr) {
  StartPackage(DT, static_cast<uint8_t>(Addr), static_cast<uint8_t>(Addr >> 8));
  std::copy_n(Buffer.begin(), IBusBlockSize, Data_.begin() + IBusPackageDataOffset);
  StampPackageSum(Data_);
  const bool sent = SendPackage();
  if (FBroadCast)
    ++BroadCastCount;
  return sent;
}

bool THecrIBusComm::UploadData(uint8_t DT, uint16_t Addr) {
  RequestData.fill(0);
  RequestData[0] = DT;
  RequestData[1] = static_cast<uint8_t>(Addr);
  RequestData[2] = static_cast<uint8_t>(Addr >> 8);
  std::copy_n(Buffer.begin(), IBusBlockSize, RequestData.begin() + IBusPackageDataOffset);
  StampPackageSum(RequestData);
  const bool received = RequestPackage();
  std::copy_n(Data_.begin() + IBusPackageDataOffset, IBusBlockSize, Buffer.begin());
  return received;
}

// --- Commands --------------------------------------------------------------

void THecrIBusComm::FillConnectPackage(int32_t id, bool isUpdateProgram) {
  StartPackage(ConnectionControl, SubConnect, 0);
  const std::array<uint8_t, 4> wireId = IdToWire(FBroadCast ? 0 : id);
  std::copy(wireId.begin(), wireId.end(), Data_.begin() + IdAt);
  const TDateTimeParts now = clock_();
  const std::array<int32_t, 6> parts = {now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second};
  for (size_t i = 0; i < parts.size(); ++i)
    Data_[DateTimeAt + i] = ByteToBcd(parts[i]);
  Data_[RateAt] = static_cast<uint8_t>(FBaudRate);
  if (!FBroadCast) {
    Data_[ModeAt] = isUpdateProgram ? 0 : 1;
  } else {
    Data_[ModeAt] = FBroadCastScaleType == TBroadCastScaleType::tbs1024 ? BroadCast1024 : BroadCast5120;
    for (size_t i = 0; i < BroadCastScales.size(); ++i) {
      BroadCastScales[i].CheckResult = 0;
      const std::array<uint8_t, 4> scaleId = IdToWire(BroadCastScales[i].ID);
      std::copy(scaleId.begin(), scaleId.end(), Data_.begin() + BroadCastIdsAt + 4 * i);
    }
  }
  StampPackageSum(Data_);
}

bool THecrIBusComm::ConnectEcr(int32_t id, bool isUpdateProgram) {
  FillConnectPackage(id, isUpdateProgram);
  if (FBroadCast) {
    SetPortRate(IBusRate(FBaudRate));
    EncodePackage(Data_, CommData_);
    receiver_.isReceiveData = false;
    if (Failed(WriteFrameAndWait(FBroadCastInterval))) {
      Error = true;
      return false;
    }
    BroadCastCount = 0;
    return true;
  }
  for (int32_t attempt = 0;; ++attempt) {
    EncodePackage(Data_, CommData_);
    LogRetry(attempt);
    SetPortRate(attempt == 0 ? IBusBaudRates[0]
                             : IBusBaudRates[static_cast<size_t>(attempt - 1) % IBusBaudRates.size()]);
    receiver_.isReceiveData = false;
    const TReplyResult reply = WriteFrameAndWait(ConnectWaitMs);
    if (reply == TReplyResult::Refused && isUpdateProgram)
      Error = true;
    if (reply == TReplyResult::Acknowledged) {
      SetPortRate(IBusRate(FBaudRate));
      return true;
    }
    if (Error || attempt >= ConnectSends - 1) {
      Error = true;
      return false;
    }
  }
}

bool THecrIBusComm::Connect(int32_t id, bool isUpdateProgram) {
  if (!ConnectEcr(id, isUpdateProgram))
    return false;
  return blnIsOS ? CheckStatus() : true;
}

bool THecrIBusComm::CheckStatus() {
  Buffer.fill(0);
  Buffer[StatusRequestAt] = SubStatus;
  if (!UploadData(ConnectionControl, SubStatus))
    return false;
  EcrStatus = TEcrStatus::FromBlock(std::span<const uint8_t>(Buffer.data(), TEcrStatus::Size));
  if (EcrStatus.IDCodeText().starts_with(u"VZR"))
    EcrStatus.PLUCount = VzrPluCount;
  return true;
}

bool THecrIBusComm::DisConnect(int32_t id, uint8_t isException) {
  TData packet{};
  packet[0] = ConnectionControl;
  packet[1] = SubDisConnect;
  const std::array<uint8_t, 4> wireId = IdToWire(id);
  std::copy(wireId.begin(), wireId.end(), packet.begin() + IdAt);
  packet[DisConnectModeAt] = DisConnectMode > 0 ? static_cast<uint8_t>(DisConnectMode) : isException;
  StampPackageSum(packet);
  for (int32_t attempt = 0; attempt < DisConnectSends; ++attempt) {
    Data_ = packet;
    EncodePackage(Data_, CommData_);
    receiver_.isReceiveData = false;
    if (WriteFrameAndWait(DisConnectWaitMs) == TReplyResult::Acknowledged)
      break;
  }
  return true;
}

bool THecrIBusComm::StartCommand(uint16_t ProgVer) {
  StartPackage(ProgramTransfer, SubStart, 0);
  Data_[IBusPackageDataOffset] = static_cast<uint8_t>(ProgVer);
  Data_[IBusPackageDataOffset + 1] = static_cast<uint8_t>(ProgVer >> 8);
  StampPackageSum(Data_);
  return SendPackage();
}

bool THecrIBusComm::EndCommand(uint16_t CheckSum) {
  StartPackage(ProgramTransfer, SubEnd, 0);
  Data_[IBusPackageDataOffset] = static_cast<uint8_t>(CheckSum);
  Data_[IBusPackageDataOffset + 1] = static_cast<uint8_t>(CheckSum >> 8);
  StampPackageSum(Data_);
  return SendPackage();
}

bool THecrIBusComm::WriteBurst() {
  const std::array<uint8_t, BurstSize> burst = [] {
    std::array<uint8_t, BurstSize> bytes{};
    bytes.fill(BurstByte);
    return bytes;
  }();
  if (!CommWrite(burst.data(), static_cast<uint16_t>(burst.size())) || !WaitSendDataEmpty())
    Error = true;
  return !Error;
}

bool THecrIBusComm::WakeUp() {
  Error = false;
  SetPortRate(BurstRate);
  if (!WriteBurst() || !Delay(1) || !WriteBurst())
    return false;
  SetPortRate(IBusRate(FBaudRate));
  return true;
}

bool THecrIBusComm::Pulse() {
  Error = false;
  SetPortRate(BurstRate);
  WriteBurst();
  SetPortRate(IBusRate(FBaudRate));
  return !Error;
}

bool THecrIBusComm::CheckBroadCast() {
  for (TBroadCastScale &scale : BroadCastScales) {
    if (scale.ID == 0)
      continue;
    Buffer.fill(0);
    const std::array<uint8_t, 4> wireId = IdToWire(scale.ID);
    std::copy(wireId.begin(), wireId.end(), Buffer.begin());
    if (!UploadData(ConnectionControl, SubCheckBroadCast)) {
      scale.CheckResult = 2;
      if (isAbort)
        return false;
      continue;
    }
    scale.BlockCount = Buffer[4] + 256 * Buffer[5];
    if (scale.BlockCount != BroadCastCount)
      scale.CheckResult = 3;
  }
  return true;
}

bool THecrIBusComm::CheckBroadCast(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= BroadCastScales.size())
    return false;
  TBroadCastScale &scale = BroadCastScales[static_cast<size_t>(index)];
  if (scale.ID == 0)
    return true;
  Buffer.fill(0);
  const std::array<uint8_t, 4> wireId = IdToWire(scale.ID);
  std::copy(wireId.begin(), wireId.end(), Buffer.begin());
  if (!UploadData(ConnectionControl, SubCheckBroadCast)) {
    scale.CheckResult = 2;
    return !isAbort;
  }
  scale.BlockCount = Buffer[4] + 256 * Buffer[5];
  scale.CheckResult = scale.BlockCount == BroadCastCount ? 1 : 3;
  return true;
}

} // namespace pondrex
