#include "THecrLink.h"

#include "ECommsError.h"
#include "PumpWait.h"
#include "ScopeExit.h"
#include "TccHecrCommand.h"

#include <algorithm>
#include <exception>
#include <string>

namespace pondrex {

namespace {

constexpr uint32_t AcknowledgeCode = 0x800E;
constexpr uint32_t RefusalCode = 0x800D;
constexpr uint32_t TemperatureTableRead = 0xA0000000u;
constexpr uint32_t WindLevelRead = 0xA0030000u;
constexpr int32_t OpenPumpPasses = 31;
constexpr uint32_t OpenPumpStepMs = 1;
constexpr uint32_t CloseSettleMs = 50;
constexpr int32_t SearchAttemptsPerRate = 2;

uint32_t High16(uint32_t code) {
  return code >> 16;
}

} // namespace

THecrLink::THecrLink(IPlatform &platform, TLinkProcessFlags &flags)
    : platform_(platform), flags_(flags), com1(platform.CreateComm()), udp1(platform.CreateUdpClient()) {
  com1->SetScaleLine(20);
  // The handler stays attached for the component's life; Open and Close
  // switch whether chunks are taken, so that no handler is replaced while it
  // runs.
  com1->OnReceiveData = [this](TCommBase &sender, const uint8_t *buffer, uint16_t length) {
    CommReceiveData(sender, buffer, length);
  };
  CmdList().Clear();
}

THecrLink::~THecrLink() {
  receiveAttached_ = false;
  try {
    if (com1->IsOpen())
      com1->StopComm();
    udp1->Close();
  } catch (const std::exception &) {
  }
  com1->OnReceiveData = nullptr;
}

void THecrLink::RaiseStatus() {
  if (OnStatus)
    OnStatus(*this, PelqoEventArgs1);
}

void THecrLink::RaiseError(int32_t code) {
  if (OnError)
    OnError(*this, code);
}

void THecrLink::RaiseIS1() {
  if (OnIS1Event)
    OnIS1Event(*this, IS1_);
}

bool THecrLink::SerialInUse() const {
  return FMode == TCommunicationMode::cmCOM ||
         (FMode == TCommunicationMode::cmUSBPRN && flags_.UsbScaleFound == 0);
}

void THecrLink::StartSerial() {
  const std::lock_guard lock(receiveMutex_);
  com1->SetCommName(FCommname);
  com1->SetBaudRate(static_cast<uint32_t>(FBaudRate));
  // A new session starts with nothing held; the chunks that the port read
  // before (handed out late, after a stop) are not its own.
  DropSession();
  sessionFirstChunk_ = com1->LastChunkRead() + 1;
  receiveAttached_ = true;
  com1->StartComm();
}

void THecrLink::StopSerial() {
  receiveAttached_ = false;
  clearDetector_.Reset();
  com1->StopComm();
}

void THecrLink::Open() {
  try {
    if (FActive) {
      Close();
      FActive = false;
    }
    Commstream.clear();
    Hecrpchk.SetFChkcrc(FCheckcrc);
    Hecrpchk.SetFChksum(FChecksum);
    Hecrpchk.SetMode(FMode);
    switch (FMode) {
    case TCommunicationMode::cmUDP:
      udp1->SetTarget(FHost, static_cast<uint16_t>(FPort));
      break;
    case TCommunicationMode::cmCOM:
      StartSerial();
      break;
    case TCommunicationMode::cmUSBPRN:
      if (flags_.UsbPrnPortOpened == 0) {
        StartSerial();
        flags_.UsbPrnPortOpened = 1;
      } else if (flags_.UsbScaleFound == 0) {
        StartSerial();
      }
      break;
    case TCommunicationMode::cmTCP:
    case TCommunicationMode::cmUSB:
      break;
    }
    FActive = true;
    // Frames that the scale sends at once are taken before Open returns.
    for (int32_t i = 0; i < OpenPumpPasses; ++i)
      PumpStep(platform_, OpenPumpStepMs, [] { return false; });
  } catch (const std::exception &error) {
    if (!com1->IsOpen()) {
      const std::lock_guard lock(receiveMutex_);
      receiveAttached_ = false;
    }
    AddLog(DescribeError(error));
    RaiseError(ErrOpenFailed);
  }
}

void THecrLink::Close() {
  FTerminate = true;
  if (wait_ != nullptr)
    wait_->Closed = true;
  {
    const std::lock_guard lock(receiveMutex_);
    try {
      // The serial port is stopped whatever the mode says now: a port left
      // open here could never be opened again by the next Open.
      if (com1->IsOpen() || receiveAttached_)
        StopSerial();
    } catch (const std::exception &) {
    }
    // Nothing of the closed session is raised any more: neither the bytes
    // held nor the frames held back for a scan that is still running.
    DropSession();
  }
  FActive = false;
  platform_.Sleep(CloseSettleMs);
}

void THecrLink::TakeAnswer() {
  if (answer_.Taken)
    return;
  answer_.Taken = true;
  if (wait_ != nullptr)
    wait_->Answered = true;
  answer_.Command = Hecrpchk.Command();
  answer_.Data = Hecrpchk.ReceiveLen() > 0 ? PelqoEventArgs1.Buffer : std::vector<uint8_t>();
}

bool THecrLink::BeginWait(TWait &wait) {
  if (wait_ != nullptr)
    return false;
  wait.Held = scanDepth_ > 0;
  wait_ = &wait;
  return true;
}

THecrLink::TRawAnswerWait::TRawAnswerWait(THecrLink &link) : link_(link) {
  started_ = link_.BeginWait(wait_);
  if (!started_)
    return;
  link_.FTerminate = false;
  link_.FNAKFlag = false;
  link_.SetAsideForRawWrite();
}

THecrLink::TRawAnswerWait::~TRawAnswerWait() {
  if (!started_)
    return;
  link_.EndWait();
}

void THecrLink::CollectPacket(int32_t PackageNo, const std::vector<uint8_t> &data) {
  if (PackageNo < 0 || PackageNo >= static_cast<int32_t>(TPelqoEventArgs::SlotCount))
    return;
  std::vector<uint8_t> &slots = PelqoEventArgs1.TmpBuffer;
  slots.resize(TPelqoEventArgs::TmpBufferSize, 0);
  const auto slot = slots.begin() + static_cast<std::ptrdiff_t>(PackageNo * TPelqoEventArgs::SlotSize);
  std::fill(slot, slot + TPelqoEventArgs::SlotSize, 0);
  const size_t count = std::min(data.size(), TPelqoEventArgs::SlotSize);
  std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(count), slot);
}

bool THecrLink::SendBuffer(TccHecrCommand *ACmd, std::span<const uint8_t> wBuf, int32_t PackageNo,
                           int32_t BufferLength, const std::u16string &EcrID) {
  if (!FActive) {
    RaiseError(ErrNotActive);
    return false;
  }
  // A command from an event handler raised inside another wait would
  // overwrite the state of the one that waits.
  TWait wait{.Framed = true};
  if (ACmd == nullptr || !BeginWait(wait))
    return false;
  // However the transfer ends, the command that waits is cleared, so that
  // later frames are no longer taken as its answers.
  const TScopeExit end([this] {
    Hecrpchk.SethCmd(nullptr);
    EndWait();
  });
  try {
    Hecrpchk.SetEcrID(EcrID);
    Hecrpchk.SethCmd(ACmd);
    Hecrpchk.SetCommand(ACmd->Orflag() ? ACmd->Command() | ACmd->Orvalue() : ACmd->Command());
    Hecrpchk.SetPackageNo(PackageNo);
    Hecrpchk.SetLinkStatus(THecrLinkStatus::ifSend);
    answer_ = TAnswer();
    const int32_t n = Hecrpchk.PackageBuffer(wBuf, BufferLength, PelqoEventArgs1.Buffer);
    if (PackageNo == 0)
      PelqoEventArgs1.TmpBuffer.assign(TPelqoEventArgs::TmpBufferSize, 0);
    if (n <= 0)
      return false;
    AddLog(Hecrpchk.Logstring());
    // The frame is sent from a copy: Buffer receives the data of frames that
    // arrive during the wait.
    const std::vector<uint8_t> frame = PelqoEventArgs1.Buffer;
    if (!Transmit(frame))
      return false;
    return Judge(*ACmd, PackageNo);
  } catch (const std::exception &error) {
    AddLog(error.what());
    return false;
  }
}

bool THecrLink::Judge(TccHecrCommand &ACmd, int32_t PackageNo) {
  if (PelqoEventArgs1.htc1 == nullptr) {
    AddLog("11111");
    return false;
  }
  const THecrLinkStatus kind = answer_.Taken ? ACmd.Status() : Hecrpchk.LinkStatus();
  const uint32_t answerHigh = High16(answer_.Command);
  switch (kind) {
  case THecrLinkStatus::ifReceive: {
    AddLog("222222");
    // Only the command's own answer is data for the driver; a refusal or any
    // other answer leaves the status event unraised.
    if (!answer_.Taken || answerHigh != High16(ACmd.Command()))
      return false;
    PelqoEventArgs1.Buffer = answer_.Data;
    PelqoEventArgs1.htc1 = &Hecrpchk;
    Hecrpchk.SetLinkStatus(ACmd.Status());
    if (ACmd.Command() == TemperatureTableRead || ACmd.Command() == WindLevelRead)
      CollectPacket(PackageNo, answer_.Data);
    RaiseStatus();
    return true;
  }
  case THecrLinkStatus::ifSend:
  case THecrLinkStatus::ifConnection: {
    AddLog("333");
    bool ok = false;
    if (answer_.Taken && answerHigh == AcknowledgeCode) {
      AddLog("555");
      ok = true;
    } else if (answer_.Taken && answerHigh == RefusalCode) {
      const int32_t code = static_cast<int32_t>(answer_.Command & 0xFF);
      Hecrpchk.SetResultID(code);
      RaiseError(code);
    }
    FTerminate = false;
    AddLog("444");
    return ok;
  }
  case THecrLinkStatus::ifQty:
  case THecrLinkStatus::NULL_:
    break;
  }
  return false;
}

bool THecrLink::SendCommandValue(TccHecrCommand *cmd, uint8_t code, const std::u16string &EcrID) {
  if (cmd == nullptr)
    return false;
  cmd->SetOrflag(true);
  cmd->SetOrvalue(static_cast<uint16_t>(code * 256));
  return SendBuffer(cmd, {}, 0, 0, EcrID);
}

bool THecrLink::Connection(int32_t CmdID, const std::u16string &EcrID) {
  if (FConnectioned)
    return true;
  // The search closes and reopens the port, which a waiting transfer uses.
  if (wait_ != nullptr)
    return false;
  TLinkBaudTable table = LinkBaudTable();
  const int32_t configuredRate = FBaudRate;
  const int32_t configuredRetries = FRetrycnt;
  TccHecrCommand *cmd = GetHecrCommandFormID(CmdID);
  const uint8_t code = BaudCode(configuredRate);
  FRetrycnt = SearchAttemptsPerRate;
  bool result = false;
  for (TLinkBaudRow &row : table) {
    if (row.Tried)
      continue;
    Close();
    FBaudRate = row.Rate;
    Open();
    if (SendCommandValue(cmd, code, EcrID)) {
      Close();
      FBaudRate = configuredRate;
      Open();
      // The scale now runs at the configured rate; the search has only
      // succeeded when the port could be opened at it.
      result = FActive;
      FConnectioned = result;
      break;
    }
    row.Tried = true;
  }
  FBaudRate = configuredRate;
  FRetrycnt = configuredRetries;
  return result;
}

bool THecrLink::Disconnection(int32_t CmdID, const std::u16string &EcrID) {
  if (!FConnectioned)
    return true;
  // Its command could not be sent now; the search stays valid.
  if (wait_ != nullptr)
    return false;
  FConnectioned = false;
  return SendBuffer(GetHecrCommandFormID(CmdID), {}, 0, 0, EcrID);
}

void THecrLink::write(std::string_view txt, int32_t count) {
  if (!FActive) {
    RaiseError(ErrNotActive);
    return;
  }
  if (!SerialInUse() || count <= 0)
    return;
  const size_t size = std::min(txt.size(), static_cast<size_t>(count));
  if (size > 0)
    com1->WriteCommData(reinterpret_cast<const uint8_t *>(txt.data()), static_cast<uint32_t>(size));
}

void THecrLink::ArmClearPelqo() {
  clearDetector_.Reset();
  clearPelqoSeen_ = false;
  FClearPelqoFlag = true;
}

void THecrLink::ArmEncryptPelqo() {
  encryptDetector_.Reset();
  encryptPelqoSeen_ = false;
  FEncryptPelqoFlag = true;
}

void THecrLink::ClearAdReadings() {
  FblnReadFlag = false;
  FstrVersion.clear();
  FstrOZeroAD.clear();
  FstrOFullAD.clear();
  FstrTareAD.clear();
  FstrZeroAD.clear();
}

} // namespace pondrex
