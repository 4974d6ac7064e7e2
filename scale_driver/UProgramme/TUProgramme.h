// The firmware download driver: sends an image file to the boot loader of a
// scale or cash register over the firmware bus (serial port, or a USB
// printer-class port opened like one) or block by block in datagrams, and
// reports each step through Onstatusevent.
//
// The serial sequence: "force update" twice and the wake-up bursts, the
// connect request (ID 1234) with the status upload, start with the image's
// version, a pulse, the image from offset 4096 in blocks of 256 bytes at bus
// addresses 16 on, and end with the file's 16-bit sum. When the first block
// fails, the port is opened again and the sequence starts once more from the
// wake-up (at most MaxSequenceRestarts times); any other failure ends it with
// its report.
//
// An image with more blocks than the 16-bit block address reaches (more
// than MaxProgramBlocks program blocks on the bus, more than 65536 blocks in
// datagrams) is refused as "Not a valid file!" before anything is sent.
//
// Everything runs on the calling thread, inside Execute; the waits are the
// bus's. The firmware bus, whose serial component and timer belong to the
// thread that makes them, is made by Open for the serial modes and freed by
// Close: call Open, Execute and Close on one thread, and each download may
// run on a thread of its own. What carries over from one download to the
// next (the port name, the rate, the retries) is kept here. A file that
// cannot be read ends Execute with an exception; a debug log that cannot be
// written when the port closes changes nothing.
#pragma once

#include "IPlatform.h"
#include "IUdpClient.h"
#include "LocalClock.h"
#include "TBaudRate.h"
#include "TCommunicationMode.h"
#include "THecrIBusComm.h"
#include "TLinkProcessFlags.h"
#include "TUProgrammeEventAge.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace pondrex {

enum class TProtocolMode : uint8_t { pmPRG1, pmPRG2 };

// The image file cannot be read.
class EFirmwareFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TUProgramme {
public:
  // The ECR ID with which the download connects.
  static constexpr int32_t DownloadEcrId = 1234;
  // Bytes at the start of a serial image that are not sent, the first bus
  // address of its blocks, and the most blocks that the 16-bit address
  // reaches.
  static constexpr size_t SkippedBytes = 4096;
  static constexpr int32_t FirstBlockAddress = 16;
  static constexpr int32_t MaxProgramBlocks = 0x10000 - FirstBlockAddress;
  // The retries of a new bus.
  static constexpr TRetryCount DownloadRetryCount = 6;
  static constexpr int32_t DownloadRetryInterval = 800;
  // How often the serial sequence (or the datagram download) starts again
  // after its first program block failed.
  static constexpr int32_t MaxSequenceRestarts = 1;
  // Datagrams: attempts per block, and the wait for each answer.
  static constexpr int32_t UdpAttempts = 4;
  static constexpr uint32_t UdpAnswerMs = 1000;

  // debugLogFile: where the bus writes its debug log. The platform and the
  // flags must outlive the object.
  TUProgramme(IPlatform &platform, const TLinkProcessFlags &flags, std::filesystem::path debugLogFile,
              TLocalClock clock = LocalNow);
  // Closes what Open opened (on the thread that opened it).
  ~TUProgramme();
  TUProgramme(const TUProgramme &) = delete;
  TUProgramme &operator=(const TUProgramme &) = delete;

  // Opens the transport of ComMode; Active says whether it worked (a port
  // that cannot be opened shows the bus's error box). For cmCOM and
  // cmUSBPRN it first makes the bus on the calling thread, with the retries
  // of DownloadRetryCount and DownloadRetryInterval, unless one is there.
  // Nothing is thrown.
  void Open();
  // Closes the transport and frees the bus; nothing is thrown.
  void Close();
  // Runs the sequence of ComMode: the serial one for cmCOM and cmUSBPRN,
  // the datagram one for cmUDP, nothing otherwise.
  void Execute();
  // Connects to the ECR without downloading anything; false without a bus.
  bool Connectioned();

  // Published properties.
  TProtocolMode ProtocolMode() const { return FProtocolMode; }
  void SetProtocolMode(TProtocolMode value) { FProtocolMode = value; }
  TCommunicationMode ComMode() const { return FComMode; }
  void SetComMode(TCommunicationMode value) { FComMode = value; }
  int32_t Retrycount() const { return FRetrycount; }
  void SetRetrycount(int32_t value) { FRetrycount = value; }
  int32_t RetryInterval() const { return FRetryInterval; }
  void SetRetryInterval(int32_t value) { FRetryInterval = value; }
  const std::u16string &CommName() const { return FComName; }
  void SetCommName(std::u16string value) { FComName = std::move(value); }
  TBaudRate BaudRate() const { return FBaudRate; }
  void SetBaudRate(TBaudRate value) { FBaudRate = value; }
  const std::u16string &Host() const { return FHost; }
  void SetHost(std::u16string value) { FHost = std::move(value); }
  int32_t Port() const { return FPort; }
  void SetPort(int32_t value) { FPort = value; }
  bool Active() const { return FActive; }
  const std::u16string &FileName() const { return FFileName; }
  void SetFileName(std::u16string value) { FFileName = std::move(value); }
  // The bytes that the next Execute sends instead of reading FileName (for
  // an image that is not on disk); Execute takes them, so the call after
  // reads FileName again.
  void SetImage(std::vector<uint8_t> image) { image_ = std::move(image); }
  bool Terminate() const { return FTerminate; }
  // Stores the value and ends the bus's wait in progress, whichever the
  // value.
  void SetTerminate(bool value);

  TUProgrammeevent Onstatusevent;

  // The bus from Open to Close; null otherwise.
  THecrIBusComm *Bus() { return HBusComm1.get(); }

  // The 16-bit sum of all bytes of the file.
  static uint16_t FileCheckSum(std::span<const uint8_t> file);
  // When the image's last two bytes are both 0, puts the sum of all its
  // bytes there, low byte first.
  static void StampCheckSum(std::vector<uint8_t> &image);

private:
  void DoStatusEvent(const std::u16string &Message, int32_t TotalNo, int32_t CurNo, int32_t Status);
  void DownloadOverBus();
  void DownloadOverUdp();
  bool SendUdpBlock(uint8_t command, uint16_t block, int32_t length);
  bool SerialPortUsed() const;
  std::unique_ptr<THecrIBusComm> MakeBus() const;
  void CloseBus();
  bool ReopenBus();
  std::vector<uint8_t> TakeImage();

  IPlatform &platform_;
  const TLinkProcessFlags &flags_;
  std::filesystem::path debugLogFile_;
  TLocalClock clock_;

  std::unique_ptr<IUdpClient> UDPClient;
  std::unique_ptr<THecrIBusComm> HBusComm1;
  TProtocolMode FProtocolMode = TProtocolMode::pmPRG1;
  TCommunicationMode FComMode = TCommunicationMode::cmUDP;
  int32_t FRetrycount = 0;
  int32_t FRetryInterval = 0;
  std::u16string FComName;
  TBaudRate FBaudRate = TBaudRate::tbr9600;
  std::u16string FHost;
  int32_t FPort = 0;
  bool FActive = false;
  std::u16string FFileName;
  TUProgrammeEventAge EventAge;
  bool FTerminate = false;
  std::array<uint8_t, 3 + 256> BufSend{};
  std::optional<std::vector<uint8_t>> image_;
};

} // namespace pondrex
