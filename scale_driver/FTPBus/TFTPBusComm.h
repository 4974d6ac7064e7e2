// The price bus: the serial protocol of price-computing scales.
//
// Through it the driver sends a unit price to the scale and writes or reads
// the scale's PLU table. It is a small request/acknowledge scheme on its own
// serial component:
// - one-byte commands (0x44, 0x05, 0x12), the short command 01 FE, data
//   frames to a RAM address with a check byte (DownloadData), and upload
//   requests answered with a data frame (UploadData);
// - the scale answers with an acknowledgement (0x06 or 0x02) or a refusal
//   (0x15 or 0xAA); the first of these four among the bytes collected since
//   a wait began decides it;
// - while the bus is active it also decodes the weight frames that the scale
//   sends during the acknowledgement waits, and hands each report to
//   OnShowWeight when that is set, else as a WM_USER message with the UTF-16
//   report text to the host window hRecv; and it takes the scale's text
//   frames (01 02 ... 03 04), which acknowledge a wait too.
//
// The port is open only between EnableComm(true) and EnableComm(false),
// with DTR on. The serial component and the wait's timer exist only in that
// time too: EnableComm(true) makes them on the calling thread and
// EnableComm(false) frees them, so each transfer has them on its own
// thread, which may end afterwards, while the settings, the host window and
// the codec stay with the bus. Received bytes and the timer's events reach
// the bus only while that thread pumps, which during a transfer means inside
// the waits. Enable, transfer and disable on one thread; one transfer at a
// time. No locks.
#pragma once

#include "IPlatform.h"
#include "TCommBase.h"
#include "TPelqoencode.h"
#include "TWindowTimer.h"
#include "WeightReports.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pondrex {

// A frame buffer of the bus: 65 bytes.
using TData = std::array<uint8_t, 65>;

// Called with each decoded weight instead of the window message:
// stable, value, weight (after sign and scaling), unit text, flag.
using TOnShowWeight = std::function<void(int32_t stable, int32_t keyvalue, double Weight,
                                         const std::u16string &sunit, const std::u16string &sflag)>;

class TFTPBusComm {
public:
  // The window message of a weight report (WM_USER).
  static constexpr uint32_t WeightReportMessage = 1024;
  static constexpr uint8_t MaxRetryCount = 10;
  // The most bytes of one wait that are collected.
  static constexpr size_t CollectedMax = 64;
  // The longest payload of a data frame that fits the frame buffer, and the
  // longest upload whose reply fits the collected bytes.
  static constexpr uint8_t MaxDownloadLength = static_cast<uint8_t>(std::tuple_size_v<TData> - 6);
  static constexpr uint8_t MaxUploadLength = static_cast<uint8_t>(CollectedMax - 7);
  // The acknowledgement wait of DownloadData.
  static constexpr uint32_t DownloadReplyMs = 500;
  // The longest a wait waits for its frame to leave the port before it
  // waits for the answer anyway.
  static constexpr uint32_t SendDrainBoundMs = 2000;
  // Lines of the log kept at most; older ones are dropped.
  static constexpr size_t MaxLogLines = 4096;

  // Results of WaitReply.
  enum class TWaitResult : int8_t {
    Aborted = -3,
    TimedOut = -2,
    Refused = -1,
    Acknowledged = 1,
    Inactive = 2
  };

  // A closed bus at 2400 baud, RetryCount 4, RetryInterval 1000 ms, with no
  // serial component or timer yet. The platform must outlive the bus.
  explicit TFTPBusComm(IPlatform &platform);
  // Closes the port when it is open (on the thread that opened it).
  ~TFTPBusComm();
  TFTPBusComm(const TFTPBusComm &) = delete;
  TFTPBusComm &operator=(const TFTPBusComm &) = delete;

  // true: makes the serial component and the timer on the calling thread
  // unless they exist, (re)opens the port CommName at BaudRate with DTR on
  // and empties the log; the component's ECommsError passes on, and the bus
  // is then inactive with neither of them. false: drops DTR, closes the port
  // and frees the component and the timer; call it on the thread that
  // enabled the bus.
  void EnableComm(bool Enable);

  // Sends one frame and waits DownloadReplyMs for its acknowledgement, at
  // most RetryCount + 1 times: the one-byte command [Dt] for 0x44, 0x05 and
  // 0x12, the short command [Dt][RamAddr] for 01 FE (or when IsClearZero is
  // set), else the data frame with the first DataLen bytes of Buffer. True
  // when a send was acknowledged. False, with Error set, when none was, and
  // at once, with nothing sent, for a data frame longer than
  // MaxDownloadLength.
  bool DownloadData(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen);
  // Requests DataLen bytes and waits RetryInterval for the reply, at most
  // RetryCount + 1 times; a reply that is incomplete or fails its check is
  // requested again. True with the bytes in Buffer[0 .. DataLen - 1]. False,
  // with Error set, when no reply passed, and at once, with nothing sent,
  // for DataLen above MaxUploadLength.
  bool UploadData(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen);

  // Writes bytes to the port and logs them.
  void CommWrite(const uint8_t *Data, uint16_t Len);
  // Logs received bytes when isDebug is set.
  void CommRead(const uint8_t *Data, uint16_t Len);
  // Ends a wait in progress with TWaitResult::Aborted; the transfer call then fails.
  void Abort();

  // A second write path, which no transfer uses: writes p up to three times
  // and waits up to 10 s after each write for FTerminal, which nothing sets.
  // -1 when FTerminal was set, else 0 (also when the write fails).
  int16_t comWriteData(std::span<const uint8_t> p, int32_t Length);
  // comWriteData of the whole of inbuf; when that succeeded, -1 if Commstream
  // holds a 0x02, else 0.
  int16_t writeData(std::span<const uint8_t> inbuf);

  // The receive handler of the serial component: collects the bytes of the
  // wait, decides it on an acknowledgement or refusal byte or a complete text
  // frame or upload reply, and reports weight frames.
  void CommReceiveData(TCommBase &Sender, const uint8_t *Buffer, uint16_t BufferLength);

  // Published properties.
  const std::u16string &CommName() const { return FCommName; }
  void SetCommName(std::u16string value) { FCommName = std::move(value); }
  bool isActive() const { return FisActive; }
  uint32_t BaudRate() const { return FBaudRate; }
  // Also sets the rate of the port, at once when it is open; a port opened
  // later opens at this rate.
  void SetBaudRate(uint32_t value);
  int32_t RetryInterval() const { return FRetryInterval; }
  void SetRetryInterval(int32_t value) { FRetryInterval = value; }
  uint8_t RetryCount() const { return FRetryCount; }
  // Values above MaxRetryCount become MaxRetryCount.
  void SetRetryCount(uint8_t value) { FRetryCount = value > MaxRetryCount ? MaxRetryCount : value; }

  // The window that receives the weight reports; 0 sends them nowhere.
  THostWindow hRecv = 0;
  TOnShowWeight OnShowWeight;

  // Payload exchanged with DownloadData and UploadData.
  TData Buffer{};
  // Set by the transfers while one runs.
  bool DnFlag = false;
  // Switches that nothing in the driver sets.
  bool IsClearZero = false;
  bool IsNoReply = false;
  bool UpFlag = false;
  bool UpPluFlag = false;
  bool GetWeight = false;
  bool getTotal = false;
  bool getAll = false;
  bool isDebug = false;

  // State that the tests and the transfers read.
  bool Error() const { return FError; }
  uint8_t Reply() const { return FReply; }
  int32_t Offset() const { return FOffset; }
  int32_t ReceiveTotal() const { return RECEIVETOTAL; }
  const TData &CommData() const { return FCommData; }
  const TData &Data() const { return FData; }
  const TData &MessageData() const { return FMessageData; }
  // The field of the last text frame that getAll, getTotal or GetWeight
  // select, zero-terminated.
  const std::array<uint8_t, 30> &Rectxt() const { return FRectxt; }
  const std::deque<std::string> &LogList() const { return FLogList; }
  TPelqoencode &Encoding() { return FEncoding; }
  // The serial port is open (between EnableComm(true) and EnableComm(false)).
  bool PortOpen() const { return Comm1 && Comm1->IsOpen(); }
  std::vector<uint8_t> &Commstream() { return FCommstream; }

private:
  // The serial component, set up for the bus, and the timer of one enabling.
  void MakePort();
  void FreePort() noexcept;
  void ResetReceiveState();
  TWaitResult WaitReply(uint8_t expectedLength, uint32_t intervalMs);
  void SendRequest(uint8_t Dt, uint8_t RamAddr, uint16_t RomAddr, uint8_t DataLen);
  void CheckReply(uint8_t DataLen);
  void LogBlock(const char *header, const uint8_t *bytes, uint16_t length);
  void AddLog(std::string line);

  void HandleChunk(std::span<const uint8_t> chunk);
  bool TakeTextFrame(size_t start);
  void TakeWeightChunk(std::span<const uint8_t> chunk);
  void Report(const TWeightReport &report);

  IPlatform &platform_;
  std::unique_ptr<TWindowTimer> Timer1;
  std::unique_ptr<TCommBase> Comm1;
  bool FError = false;
  bool isSendDataEmpty = true;
  bool isAbort = false;
  std::deque<std::string> FLogList;
  std::u16string FCommName;
  bool FTerminal = false;
  bool FisActive = false;
  uint32_t FBaudRate = 2400;
  int32_t FRetryInterval = 1000;
  uint8_t FRetryCount = 4;
  std::vector<uint8_t> FCommstream;
  TData FData{};
  std::array<uint8_t, 10> Rcvbuf{};
  bool isErrorPackage = false;
  bool isTimeOut = false;
  uint8_t FReply = 0;
  int32_t receivelen = 0;
  int32_t FOffset = 0;
  int32_t ReceiveStatus = 0;
  int32_t RECEIVETOTAL = 0;
  TData FCommData{};
  TData FMessageData{};
  TPelqoencode FEncoding;
  std::array<uint8_t, 30> FRectxt{};
  // The whole upload reply was collected during the last wait.
  bool replyComplete_ = false;
};

} // namespace pondrex
