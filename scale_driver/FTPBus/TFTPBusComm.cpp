// Construction, enabling, the waits and the two transfers of the price bus.
#include "TFTPBusComm.h"

#include "FtpBusCommands.h"
#include "FtpBusFrames.h"
#include "PumpWait.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <string>

namespace pondrex {

TFTPBusComm::TFTPBusComm(IPlatform &platform) : platform_(platform) {}

TFTPBusComm::~TFTPBusComm() {
  FreePort();
}

void TFTPBusComm::MakePort() {
  std::unique_ptr<TCommBase> comm = platform_.CreateComm();
  comm->SetBaudRate(FBaudRate);
  comm->SetScaleLine(20);
  comm->OnReceiveData = [this](TCommBase &sender, const uint8_t *buffer, uint16_t length) {
    CommReceiveData(sender, buffer, length);
  };
  comm->OnSendDataEmpty = [this](TCommBase &) { isSendDataEmpty = true; };
  Timer1 = platform_.CreateTimer(0, [this] {
    isTimeOut = true;
    Timer1->SetEnabled(false);
  });
  Comm1 = std::move(comm);
}

void TFTPBusComm::FreePort() noexcept {
  if (Timer1) {
    try {
      Timer1->SetEnabled(false);
    } catch (const std::exception &) {
    }
    Timer1.reset();
  }
  if (Comm1) {
    try {
      Comm1->StopComm();
    } catch (const std::exception &) {
    }
    Comm1->OnReceiveData = nullptr;
    Comm1->OnSendDataEmpty = nullptr;
    Comm1.reset();
  }
}

void TFTPBusComm::SetBaudRate(uint32_t value) {
  FBaudRate = value;
  if (Comm1)
    Comm1->SetBaudRate(value);
}

void TFTPBusComm::EnableComm(bool Enable) {
  if (Enable) {
    if (!Comm1)
      MakePort();
    Comm1->SetCommName(FCommName);
    Comm1->SetDtrControl(TDtrControl::DtrEnable);
    if (FisActive) {
      FisActive = false;
      Comm1->StopComm();
    }
    try {
      Comm1->StartComm();
    } catch (...) {
      // A failure passes on and leaves the bus inactive, with nothing of
      // this thread's behind.
      FreePort();
      throw;
    }
    FisActive = true;
    FLogList.clear();
  } else {
    if (Comm1)
      Comm1->SetDtrControl(TDtrControl::DtrDisable);
    FisActive = false;
    FreePort();
  }
}

void TFTPBusComm::ResetReceiveState() {
  FError = false;
  isAbort = false;
  FReply = 0;
  ReceiveStatus = -1;
  FOffset = 0;
  replyComplete_ = false;
}

TFTPBusComm::TWaitResult TFTPBusComm::WaitReply(uint8_t expectedLength, uint32_t intervalMs) {
  ResetReceiveState();
  RECEIVETOTAL = expectedLength;
  // An inactive bus has no port and no timer: nothing can answer.
  if (!FisActive)
    return TWaitResult::Inactive;

  // The frame leaves the port first. A write that never reports its end
  // (a stalled port) does not hold the wait for ever.
  PumpUntil(platform_, SendDrainBoundMs, [this] { return isSendDataEmpty || FError || !FisActive; });

  // Then the answer, until the timer fires. The fine clock bounds the wait
  // too, should the timer's message never come.
  isTimeOut = false;
  // The timer goes with the port: a bus disabled during the first phase
  // has none, and its wait ends at once.
  if (Timer1) {
    Timer1->SetInterval(intervalMs);
    Timer1->SetEnabled(true);
  }
  const auto ended = [this] { return isTimeOut || FError || ReceiveStatus > 0 || !FisActive; };
  if (PumpUntil(platform_, intervalMs, ended) == TWaitEnd::BoundReached)
    isTimeOut = true;

  TWaitResult result = TWaitResult::Inactive;
  if (FError)
    result = TWaitResult::Aborted;
  else if (FReply == 0xAA || FReply == 0x15)
    result = TWaitResult::Refused;
  else if (FReply == 0x06 || FReply == 0x02)
    result = TWaitResult::Acknowledged;
  else if (isTimeOut)
    result = TWaitResult::TimedOut;
  if (Timer1)
    Timer1->SetEnabled(false);
  return result;
}

bool TFTPBusComm::DownloadData(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen) {
  std::vector<uint8_t> frame;
  if (IsClearZero || (Dt == ftpbus::ShortCommand && RamAddr == ftpbus::ShortCommandRam)) {
    frame = {Dt, RamAddr};
  } else if (ftpbus::IsOneByteCommand(Dt)) {
    frame = {Dt};
  } else {
    // The frame must fit the frame buffer.
    if (DataLen > MaxDownloadLength) {
      FError = true;
      return false;
    }
    frame = BuildDataFrame(Dt, RamAddr, RomAddr, std::span<const uint8_t>(Buffer.data(), DataLen));
  }
  FData.fill(0);
  std::copy(frame.begin(), frame.end(), FData.begin());

  for (uint32_t i = 0;; ++i) {
    std::copy(frame.begin(), frame.end(), FCommData.begin());
    if (i > 0 && isDebug) {
      AddLog("");
      AddLog("Retry:" + std::to_string(i));
    }
    CommWrite(frame.data(), static_cast<uint16_t>(frame.size()));
    TWaitResult r = WaitReply(0, DownloadReplyMs);
    if (i == 1 && (IsClearZero || IsNoReply))
      r = TWaitResult::Acknowledged;
    if (r == TWaitResult::Acknowledged)
      return true;
    if (FError || i >= FRetryCount) {
      FError = true;
      return false;
    }
  }
}

void TFTPBusComm::SendRequest(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen) {
  const std::vector<uint8_t> request = BuildUploadRequest(Dt, RamAddr, RomAddr, DataLen);
  std::copy(request.begin(), request.end(), FCommData.begin());
  CommWrite(request.data(), static_cast<uint16_t>(request.size()));
}

void TFTPBusComm::CheckReply(uint8_t DataLen) {
  // Only a reply that was collected whole counts: the wait also ends on its
  // lead byte, and bytes left from an earlier frame must not pass as data.
  const std::span<const uint8_t> reply(FCommData.data(), size_t{DataLen} + 7);
  if (replyComplete_ && UploadReplyPasses(reply, DataLen))
    std::copy_n(reply.begin() + 6, DataLen, Buffer.begin());
  else
    isErrorPackage = true;
}

bool TFTPBusComm::UploadData(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen) {
  // The reply must fit the collected bytes.
  if (DataLen > MaxUploadLength) {
    FError = true;
    return false;
  }
  const uint32_t interval = FRetryInterval > 0 ? static_cast<uint32_t>(FRetryInterval) : 0;
  for (uint32_t i = 0;; ++i) {
    isErrorPackage = false;
    if (i > 0 && isDebug) {
      AddLog("");
      AddLog("Retry:" + std::to_string(i));
    }
    SendRequest(Dt, RamAddr, RomAddr, DataLen);
    const TWaitResult r = WaitReply(static_cast<uint8_t>(DataLen + 6), interval);
    if (r == TWaitResult::Acknowledged) {
      CheckReply(DataLen);
      if (!isErrorPackage)
        return true;
    }
    if (FError || i >= FRetryCount) {
      FError = true;
      return false;
    }
  }
}

void TFTPBusComm::Abort() {
  FError = true;
  isAbort = true;
}

} // namespace pondrex
