// The senders of the scale link, one per transport, on one skeleton of
// attempts. Each returns true when the wait ended through Terminate (an
// answer arrived, or Close ended it).
#include "THecrLink.h"

#include "IUdpClient.h"
#include "PumpWait.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>

namespace pondrex {

namespace {

// The serial wait counts 10 ms a step; the USB printer wait pauses 50 ms a
// step but counts 150 against the time-out.
constexpr uint32_t WaitStepMs = 10;
constexpr uint32_t UsbPrinterStepMs = 50;
constexpr uint32_t UsbPrinterCountedMs = 150;
// Bytes of UDP answers kept while a frame is incomplete: one frame at most.
constexpr size_t MaxCommstream = 0xFFFF + 15;

// How long a wait lasts that takes steps of stepMs, counting countedMs a step,
// while the counted time is below timeOutMs.
uint32_t StepBound(int32_t timeOutMs, uint32_t countedMs, uint32_t stepMs) {
  if (timeOutMs <= 0)
    return 0;
  const uint64_t steps = (static_cast<uint64_t>(timeOutMs) + countedMs - 1) / countedMs;
  return static_cast<uint32_t>(std::min<uint64_t>(steps * stepMs, UINT32_MAX));
}

} // namespace

bool THecrLink::Transmit(const std::vector<uint8_t> &frame) {
  switch (FMode) {
  case TCommunicationMode::cmUDP:
    return TransmitUdp(frame);
  case TCommunicationMode::cmCOM:
    return TransmitCom(frame);
  case TCommunicationMode::cmTCP:
    return TransmitTcp();
  case TCommunicationMode::cmUSB:
    return TransmitUsb();
  case TCommunicationMode::cmUSBPRN:
    return flags_.UsbScaleFound != 0 ? TransmitUsbPrinter() : TransmitCom(frame);
  }
  return false;
}

bool THecrLink::RunAttempts(const TAttempts &attempts) {
  FTerminate = false;
  int64_t attempt = 0;
  while (!FTerminate) {
    // Retrycnt is read anew each time: an event handler may change it.
    if (attempt >= int64_t{FRetrycnt} + (attempts.ExtraAttempt ? 1 : 0)) {
      RaiseError(ErrRetriesExhausted);
      break;
    }
    if (!attempts.Attempt())
      break;
    if (!FTerminate) {
      AddLog("Retry:" + std::to_string(attempts.RetryLineNamesRetrycnt ? int64_t{FRetrycnt} : attempt));
      ++attempt;
      RaiseError(ErrRetrying);
    }
    if (attempts.AfterAttempt)
      attempts.AfterAttempt();
  }
  return FTerminate;
}

bool THecrLink::WaitForTerminate(uint32_t boundMs, uint32_t stepMs) {
  return PumpUntil(
             platform_, boundMs, [this] { return FTerminate; }, stepMs) == TWaitEnd::Done;
}

bool THecrLink::TransmitCom(const std::vector<uint8_t> &frame) {
  return RunAttempts({.Attempt = [&] { return AttemptCom(frame); }, .AfterAttempt = nullptr});
}

bool THecrLink::AttemptCom(const std::vector<uint8_t> &frame) {
  // A partial frame held from before this attempt is no answer to it.
  SetAsideHeld();
  try {
    if (!com1->WriteCommData(frame.data(), static_cast<uint32_t>(frame.size())))
      throw std::runtime_error("The frame could not be queued on the serial port");
  } catch (const std::exception &error) {
    AddLog(error.what());
    RaiseError(ErrSendFailed);
    return false;
  }
  // The answer comes through the receive path while the wait pumps.
  if (!WaitForTerminate(StepBound(FTimeOut, WaitStepMs, WaitStepMs), WaitStepMs))
    AddLog("TimeOut");
  return true;
}

bool THecrLink::TransmitUdp(const std::vector<uint8_t> &frame) {
  Commstream.clear();
  commstreamChecked_ = 0;
  return RunAttempts({.ExtraAttempt = true,
                      .RetryLineNamesRetrycnt = true,
                      .Attempt = [&] { return AttemptUdp(frame); },
                      .AfterAttempt = [&] { platform_.PumpMessages(); }});
}

bool THecrLink::AttemptUdp(const std::vector<uint8_t> &frame) {
  SetAsideHeld();
  size_t received = 0;
  try {
    udp1->Send(frame.data(), frame.size());
    received = udp1->Receive(TransReceiveBuffer.data(), TransReceiveBuffer.size(),
                             FTimeOut > 0 ? static_cast<uint32_t>(FTimeOut) : 0);
  } catch (const std::exception &error) {
    RaiseError(ErrSendFailed);
    AddLog(error.what());
    return false;
  }
  if (received >= 1)
    TakeDatagram(received);
  return true;
}

void THecrLink::TakeDatagram(size_t received) {
  if (Commstream.size() + received > MaxCommstream) {
    Commstream.clear();
    commstreamChecked_ = 0;
  }
  Commstream.insert(Commstream.end(), TransReceiveBuffer.begin(),
                    TransReceiveBuffer.begin() + static_cast<std::ptrdiff_t>(received));
  // The check goes on where the last one stopped: the frames it skipped are
  // skipped again by a check from the start, so the result and the log line
  // are the same, and each byte is looked at once.
  int32_t checkOffset = commstreamChecked_;
  if (Hecrpchk.CheckData(Commstream, PelqoEventArgs1.Buffer, checkOffset)) {
    AddLog(Hecrpchk.Logstring());
    Commstream.clear();
    commstreamChecked_ = 0;
    if (Hecrpchk.ReceiveLen() == 0)
      PelqoEventArgs1.Buffer.clear();
    Hecrpchk.SethCmd(GetHecrCommand(Hecrpchk.Command()));
    PelqoEventArgs1.htc1 = &Hecrpchk;
    if (Hecrpchk.LinkStatus() == THecrLinkStatus::ifQty) {
      RaiseStatus();
    } else {
      TakeAnswer();
      FTerminate = true;
    }
    return;
  }
  AddLog(Hecrpchk.Logstring());
  const int32_t error = Hecrpchk.ErrorID();
  RaiseError(error);
  // An incomplete frame waits for the next datagram.
  if (error == THecrprotocolCheck::ErrIncomplete || error == THecrprotocolCheck::ErrTooShort) {
    commstreamChecked_ = checkOffset;
  } else {
    Commstream.clear();
    commstreamChecked_ = 0;
  }
}

bool THecrLink::TransmitUsbPrinter() {
  return RunAttempts({.Attempt = [&] { return AttemptUsbPrinter(); }, .AfterAttempt = nullptr});
}

// Nothing is written: the attempt only waits.
bool THecrLink::AttemptUsbPrinter() {
  Commstream.clear();
  if (WaitForTerminate(StepBound(FTimeOut, UsbPrinterCountedMs, UsbPrinterStepMs), UsbPrinterStepMs))
    AddLog("FTerminate:true");
  return true;
}

} // namespace pondrex
