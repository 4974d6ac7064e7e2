// The firmware bus: the serial protocol with which the download driver
// talks to the boot loader of a scale or cash register (the ECR).
//
// Each request is a 261-byte packet sent as a 301-byte frame (IBusPackage.h);
// the answer is one byte (0x02 acknowledged, 0x55 refused) or a whole frame
// that repeats the request's first three frame bytes. On top of that come
// the steps of a download: wake-up and pulse bursts at 4800 baud, the
// connect request with its search over the rates, the status upload, start,
// program blocks, end and disconnect, and a broadcast mode that sends to up
// to 56 devices at once and later asks each how many blocks it received.
//
// Every wait blocks on the calling thread's message queue (the serial
// component's events and the reply timer arrive there) and ends within its
// bound: a write that cannot be queued fails its step at once, the wait for
// a write to leave the port ends after SendEmptyBoundMs, and the wait for an
// answer ends with the reply timer. Everything runs on the thread that
// created the object; there are no locks.
#pragma once

#include "IBusPackage.h"
#include "IBusReceiver.h"
#include "IPlatform.h"
#include "LocalClock.h"
#include "TBaudRate.h"
#include "TEcrStatus.h"
#include "TLinkLog.h"
#include "TLinkProcessFlags.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace pondrex {

enum class TBroadCastScaleType : uint8_t { tbs1024, tbs5120 };

// Retries after the first attempt, 0 to 10.
using TRetryCount = uint8_t;

// One device addressed in broadcast mode.
struct TBroadCastScale {
  // The device's ECR ID; 0 leaves the entry unused.
  int32_t ID = 0;
  // 0 not checked, 1 count matches, 2 no reply, 3 count differs.
  uint8_t CheckResult = 0;
  // The number of blocks that the device reported.
  int32_t BlockCount = 0;
};

class THecrIBusComm {
public:
  // A packet (its first 261 bytes) or a frame (its first 301).
  using TData = ibus::TData;
  using TIBusReceiver = ibus::TIBusReceiver;

  static constexpr size_t BroadCastScaleCount = 56;
  static constexpr TRetryCount MaxRetryCount = 10;
  // The rate of the wake-up and pulse bursts, and their bytes.
  static constexpr uint32_t BurstRate = 4800;
  static constexpr size_t BurstSize = 64;
  static constexpr uint8_t BurstByte = 0x66;
  // The connect request: at most this many sends, each waiting this long.
  static constexpr int32_t ConnectSends = 21;
  static constexpr int32_t ConnectWaitMs = 800;
  // The disconnect request: at most this many sends, each waiting this long.
  static constexpr int32_t DisConnectSends = 3;
  static constexpr int32_t DisConnectWaitMs = 100;
  // The longest wait for a queued write to leave the serial component. The
  // longest write, a frame at 4800 baud, takes about 630 ms on the line.
  static constexpr uint32_t SendEmptyBoundMs = 3000;
  // How much longer than its interval an answer wait may last should the
  // reply timer not fire.
  static constexpr uint32_t TimerSlackMs = 500;

  // debugLogFile: where closing the port writes the debug log. The platform
  // and the flags must outlive the object.
  THecrIBusComm(IPlatform &platform, const TLinkProcessFlags &flags, std::filesystem::path debugLogFile,
                TLocalClock clock = LocalNow);
  // Does not stop an open port; the serial component does when it goes.
  ~THecrIBusComm();
  THecrIBusComm(const THecrIBusComm &) = delete;
  THecrIBusComm &operator=(const THecrIBusComm &) = delete;

  // 1 opens the port CommName (stopping it first when open); a port that
  // cannot be opened shows an error box and the serial component's
  // exception goes on to the caller. Any other value closes the port and
  // writes the debug log; a log that cannot be written (a host in a folder
  // that it may not write to) is left unwritten, and the close still
  // succeeds, since the log says nothing about the port or the device.
  void EnableComm(uint8_t Enable);

  // ConnectEcr, then with blnIsOS also CheckStatus.
  bool Connect(int32_t id, bool isUpdateProgram);
  // The connect request with the ID, the local date and time and the rate
  // to run at; searched over the rates 9600, 9600, 19200, 38400, 57600,
  // 115200, 9600, ... (at most ConnectSends sends). On the acknowledgement
  // the port goes to BaudRate. A refusal ends the search when
  // isUpdateProgram is set.
  bool ConnectEcr(int32_t id, bool isUpdateProgram);
  // Uploads the status block into EcrStatus; a device whose ID code begins
  // with "VZR" gets PLUCount 360.
  bool CheckStatus();
  // Up to DisConnectSends disconnect requests until one is acknowledged;
  // always true.
  bool DisConnect(int32_t id, uint8_t isException);
  bool StartCommand(uint16_t ProgVer);
  bool EndCommand(uint16_t CheckSum);
  // Sends Buffer as one block with data type DT at bus address Addr.
  bool DownloadData(uint8_t DT, uint16_t Addr);
  // Requests one block; afterwards Buffer holds the answer's data.
  bool UploadData(uint8_t DT, uint16_t Addr);
  // Two bursts at 4800 baud a second apart; the port is back at BaudRate
  // afterwards unless a step failed.
  bool WakeUp();
  // One burst at 4800 baud; the port is back at BaudRate afterwards.
  bool Pulse();
  // Pumps the calling thread's messages for the given seconds; false when
  // Error is set meanwhile.
  bool Delay(int32_t seconds);
  // Broadcast mode: asks every device of BroadCastScales (resp. the one at
  // index) how many blocks it received and notes the result.
  bool CheckBroadCast();
  bool CheckBroadCast(int32_t index);
  // Ends the wait in progress with a failure.
  void Abort();

  // Clears isSendDataEmpty and hands the bytes to the port (not with iMode
  // 1 while a USB scale was found). False when nothing was queued.
  bool CommWrite(const uint8_t *Data, uint16_t Len);
  // Logs received bytes while isDebug.
  void CommRead(const uint8_t *Data, uint16_t Len);
  // Clears isSendDataEmpty and writes nothing.
  void USBWrite(const uint8_t *Data, uint16_t Len);
  // The data event handler of the serial component.
  void CommReceiveData(TCommBase &Sender, const uint8_t *Buffer, uint16_t BufferLength);
  void UsbCommReceiveData1(TCommBase &Sender, const uint8_t *Buffer, uint16_t BufferLength) {
    CommReceiveData(Sender, Buffer, BufferLength);
  }

  // Published properties.
  const std::u16string &CommName() const { return FCommName; }
  void SetCommName(std::u16string value) { FCommName = std::move(value); }
  bool isActive() const { return FisActive; }
  TBaudRate BaudRate() const { return FBaudRate; }
  // Also sets the port's rate, at once on an open port.
  void SetBaudRate(TBaudRate value);
  bool BroadCast() const { return FBroadCast; }
  void SetBroadCast(bool value) { FBroadCast = value; }
  TBroadCastScaleType BroadCastScaleType() const { return FBroadCastScaleType; }
  void SetBroadCastScaleType(TBroadCastScaleType value) { FBroadCastScaleType = value; }
  int32_t BroadCastInterval() const { return FBroadCastInterval; }
  void SetBroadCastInterval(int32_t value) { FBroadCastInterval = value; }
  int32_t RetryInterval() const { return FRetryInterval; }
  void SetRetryInterval(int32_t value) { FRetryInterval = value; }
  TRetryCount RetryCount() const { return FRetryCount; }
  // Values above MaxRetryCount are taken as MaxRetryCount.
  void SetRetryCount(TRetryCount value) { FRetryCount = value > MaxRetryCount ? MaxRetryCount : value; }

  // Working state that the download driver and tests read or set.
  // Set by Abort, an exhausted retry loop, a write that could not be queued
  // or one that did not leave the port in time; cleared by every wait.
  bool Error = false;
  bool isAbort = false;
  bool isSendDataEmpty = true;
  // True when the last decoded answer frame failed its sum.
  bool isErrorPackage = false;
  // 0 serial port; 1 a scale reached as a USB printer-class device.
  int32_t iMode = 0;
  // Fills LogList with the bytes sent and received.
  bool isDebug = false;
  // When above 0, its low byte replaces DisConnect's mode byte.
  int32_t DisConnectMode = 0;
  // The data of the next block to send, or of the last block uploaded.
  TData Buffer{};
  TEcrStatus EcrStatus;
  std::array<TBroadCastScale, BroadCastScaleCount> BroadCastScales{};
  // Blocks sent since the last broadcast connect.
  int32_t BroadCastCount = 0;
  // Whether Connect uploads the status (false for HK32F030C8 boards).
  bool blnIsOS = false;

  // The packet last sent or decoded, the upload request, the frame last
  // written.
  const TData &Data() const { return Data_; }
  const TData &CommData() const { return CommData_; }
  const TIBusReceiver &Receiver() const { return receiver_; }
  const TLinkLog &LogList() const { return LogList_; }
  const std::filesystem::path &DebugLogFile() const { return debugLogFile_; }
  TCommBase &Comm() { return *Comm1; }

private:
  // The result of WaitReply.
  enum class TReplyResult : int8_t { Abort = -3, TimeOut = -2, Refused = -1, Acknowledged = 1, Frame = 2 };
  static bool Failed(TReplyResult result) {
    return result == TReplyResult::Abort || result == TReplyResult::TimeOut ||
           result == TReplyResult::Refused;
  }

  void ResetReceiveState();
  // Pumps until the last write left the port, Error is set or the bound
  // passed; false in the last case.
  bool WaitSendDataEmpty();
  TReplyResult WaitReply(int32_t interval);
  // Writes the frame in CommData and waits for the answer; a frame that
  // cannot be queued sets Error and gives TReplyResult::Abort without waiting.
  TReplyResult WriteFrameAndWait(int32_t interval);
  // Writes one burst and waits until it left the port; false (and Error)
  // when it could not be written or did not leave in time.
  bool WriteBurst();
  bool SendPackage();
  bool SendRequestFrame();
  bool RequestPackage();
  void StartPackage(uint8_t command, uint8_t subCommand, uint8_t addressHigh);
  void FillConnectPackage(int32_t id, bool isUpdateProgram);
  void SetPortRate(uint32_t rate);
  void LogRetry(int32_t attempt);
  void LogBytes(const char *title, const uint8_t *bytes, uint16_t count);
  void Timer1Timer();

  IPlatform &platform_;
  const TLinkProcessFlags &flags_;
  std::filesystem::path debugLogFile_;
  TLocalClock clock_;

  std::unique_ptr<TCommBase> Comm1;
  std::unique_ptr<TWindowTimer> Timer1;
  TLinkLog LogList_;
  TIBusReceiver receiver_;
  TData CommData_{};
  TData Data_{};
  TData RequestData{};
  bool isTimeOut = false;

  std::u16string FCommName;
  bool FisActive = false;
  TBaudRate FBaudRate = TBaudRate::tbr9600;
  bool FBroadCast = false;
  TBroadCastScaleType FBroadCastScaleType = TBroadCastScaleType::tbs1024;
  int32_t FBroadCastInterval = 200;
  int32_t FRetryInterval = 800;
  TRetryCount FRetryCount = 6;
};

} // namespace pondrex
