// The serial component as the transports use it: settings with their
// apply-on-change rules, start and stop, queued writes, and events that are
// raised only while the thread that created the component pumps its messages.
//
// TComm (Win32, overlapped I/O with a read and a write thread) is the product
// implementation; native tests use a fake with a scripted peer.
#pragma once

#include "CommTypes.h"

#include <cstdint>
#include <functional>

namespace pondrex {

class TCommBase;

using TReceiveDataEvent =
    std::function<void(TCommBase &Sender, const uint8_t *Buffer, uint16_t BufferLength)>;
using TReceiveErrorEvent = std::function<void(TCommBase &Sender, uint32_t EventMask)>;
using TModemStateChangeEvent = std::function<void(TCommBase &Sender, uint32_t ModemEvent)>;
using TNotifyEvent = std::function<void(TCommBase &Sender)>;
using TSendDataEmptyEvent = TNotifyEvent;

class TCommBase {
public:
  TCommBase() = default;
  virtual ~TCommBase() = default;
  TCommBase(const TCommBase &) = delete;
  TCommBase &operator=(const TCommBase &) = delete;

  // Opens the port and starts the I/O; throws ECommsError.
  virtual void StartComm() = 0;
  // Stops the I/O and closes the port; harmless when closed.
  virtual void StopComm() = 0;
  // Queues a copy of the bytes; false when closed, when the count is 0 or
  // above 65535, or when the block cannot be queued.
  virtual bool WriteCommData(const uint8_t *pDataToWrite, uint32_t dwSizeofDataToWrite) = 0;
  virtual uint32_t GetModemState() = 0;
  virtual bool IsOpen() const = 0;

  // Received chunks are numbered from 1 in the order in which the port read
  // them, over the life of the component (every opening goes on counting).
  // The number of the last chunk read so far, 0 before the first; the port
  // reads on its own, so the number may move on at any time. A chunk read
  // before a request was written has a number no higher than the one read
  // just before the write, whenever it is handed out; bytes that the port
  // has not yet handed over in a chunk are not counted.
  virtual uint64_t LastChunkRead() const = 0;
  // The number of the chunk that OnReceiveData is handing out; read it
  // first thing in the handler, before anything pumps.
  uint64_t DeliveredChunk() const { return deliveredChunk_; }

  const TCommSettings &Settings() const { return settings_; }

  // Each setter stores a value only when it differs from the old one and,
  // while the port is open, re-applies the DCB or the time-outs at once.
  // CommName and Parity are plain fields: they take effect at the next
  // StartComm or the next time the DCB is applied.
  void SetCommName(const std::u16string &value);
  void SetBaudRate(uint32_t value);
  void SetParityCheck(bool value);
  void SetOutx_CtsFlow(bool value);
  void SetOutx_DsrFlow(bool value);
  void SetDtrControl(TDtrControl value);
  void SetDsrSensitivity(bool value);
  void SetTxContinueOnXoff(bool value);
  void SetOutx_XonXoffFlow(bool value);
  void SetInx_XonXoffFlow(bool value);
  void SetReplaceWhenParityError(bool value);
  void SetIgnoreNullChar(bool value);
  void SetRtsControl(TRtsControl value);
  void SetXonLimit(uint16_t value);
  void SetXoffLimit(uint16_t value);
  void SetByteSize(TByteSize value);
  void SetParity(TParity value);
  void SetStopBits(TStopBits value);
  void SetXonChar(uint8_t value);
  void SetXoffChar(uint8_t value);
  void SetReplacedChar(uint8_t value);
  void SetReadIntervalTimeout(uint32_t value);
  void SetReadTotalTimeoutMultiplier(uint32_t value);
  void SetReadTotalTimeoutConstant(uint32_t value);
  void SetWriteTotalTimeoutMultiplier(uint32_t value);
  void SetWriteTotalTimeoutConstant(uint32_t value);

  // The line that every transport of the driver sets up: 8 data bits, no
  // parity (and no parity check), one stop bit, no flow control, DTR off and
  // RTS on, null bytes kept; a read ends after readIntervalMs without a byte.
  void SetScaleLine(uint32_t readIntervalMs);

  TReceiveDataEvent OnReceiveData;
  TReceiveErrorEvent OnReceiveError;
  TModemStateChangeEvent OnModemStateChange;
  TNotifyEvent OnRequestHangup;
  TSendDataEmptyEvent OnSendDataEmpty;

protected:
  // Write the current settings to the open port.
  virtual void ApplyCommState() = 0;
  virtual void ApplyCommTimeouts() = 0;

  TCommSettings settings_;
  // Set by the implementation before each OnReceiveData.
  uint64_t deliveredChunk_ = 0;
};

} // namespace pondrex
