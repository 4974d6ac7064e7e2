// The senders of the scale link, one per transport. Each returns true when
// the wait ended through Terminate (an answer arrived, or Close ended it).
#include "THecrLink.h"

#include "IUdpClient.h"

#include <exception>
#include <stdexcept>
#include <string>

namespace pondrex {

namespace {

constexpr uint32_t WaitStepMs = 10;
constexpr uint32_t UsbPrinterSleepMs = 50;
constexpr int32_t UsbPrinterCountMs = 150;
// Bytes of UDP answers kept while a frame is incomplete: one frame at most.
constexpr size_t MaxCommstream = 0xFFFF + 15;

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

bool THecrLink::TransmitCom(const std::vector<uint8_t> &frame) {
  FTerminate = false;
  int32_t attempt = 0;
  while (!FTerminate) {
    if (attempt >= FRetrycnt) {
      RaiseError(ErrRetriesExhausted);
      break;
    }
    // A partial frame held from before this attempt is no answer to it.
    offset_ = 0;
    try {
      if (!com1->WriteCommData(frame.data(), static_cast<uint32_t>(frame.size())))
        throw std::runtime_error("The frame could not be queued on the serial port");
    } catch (const std::exception &error) {
      AddLog(error.what());
      RaiseError(ErrSendFailed);
      break;
    }
    int32_t waited = 0;
    while (!FTerminate) {
      if (waited >= FTimeOut) {
        AddLog("TimeOut");
        break;
      }
      waited += static_cast<int32_t>(WaitStepMs);
      platform_.Sleep(WaitStepMs);
      platform_.PumpMessages();
    }
    if (!FTerminate) {
      AddLog("Retry:" + std::to_string(attempt));
      ++attempt;
      RaiseError(ErrRetrying);
    }
  }
  return FTerminate;
}

bool THecrLink::TransmitUdp(const std::vector<uint8_t> &frame) {
  FTerminate = false;
  int32_t attempt = 0;
  Commstream.clear();
  while (!FTerminate) {
    offset_ = 0;
    if (attempt > FRetrycnt) {
      RaiseError(ErrRetriesExhausted);
      break;
    }
    size_t received = 0;
    try {
      udp1->Send(frame.data(), frame.size());
      received = udp1->Receive(TransReceiveBuffer.data(), TransReceiveBuffer.size(),
                               FTimeOut > 0 ? static_cast<uint32_t>(FTimeOut) : 0);
    } catch (const std::exception &error) {
      RaiseError(ErrSendFailed);
      AddLog(error.what());
      break;
    }
    if (received >= 1) {
      if (Commstream.size() + received > MaxCommstream)
        Commstream.clear();
      Commstream.insert(Commstream.end(), TransReceiveBuffer.begin(),
                        TransReceiveBuffer.begin() + static_cast<std::ptrdiff_t>(received));
      int32_t checkOffset = 0;
      if (Hecrpchk.CheckData(Commstream, PelqoEventArgs1.Buffer, checkOffset)) {
        AddLog(Hecrpchk.Logstring());
        Commstream.clear();
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
      } else {
        AddLog(Hecrpchk.Logstring());
        const int32_t error = Hecrpchk.ErrorID();
        RaiseError(error);
        // An incomplete frame waits for the next datagram.
        if (error != THecrprotocolCheck::ErrIncomplete && error != THecrprotocolCheck::ErrTooShort)
          Commstream.clear();
      }
    }
    if (!FTerminate) {
      AddLog("Retry:" + std::to_string(FRetrycnt));
      ++attempt;
      RaiseError(ErrRetrying);
    }
    platform_.PumpMessages();
  }
  return FTerminate;
}

bool THecrLink::TransmitUsbPrinter() {
  FTerminate = false;
  int32_t attempt = 0;
  while (!FTerminate) {
    if (attempt >= FRetrycnt) {
      RaiseError(ErrRetriesExhausted);
      break;
    }
    Commstream.clear();
    int32_t counted = 0;
    while (!FTerminate && counted < FTimeOut) {
      platform_.Sleep(UsbPrinterSleepMs);
      counted += UsbPrinterCountMs;
      platform_.PumpMessages();
    }
    if (FTerminate) {
      AddLog("FTerminate:true");
    } else {
      AddLog("Retry:" + std::to_string(attempt));
      ++attempt;
      RaiseError(ErrRetrying);
    }
  }
  return FTerminate;
}

} // namespace pondrex
