#include "TUProgramme.h"

#include "FileBytes.h"

#include <algorithm>
#include <string_view>

namespace pondrex {

namespace {

constexpr std::string_view ForceUpdate = "force update";
constexpr uint32_t ForceUpdatePauseMs = 500;
constexpr uint32_t WakeUpPauseMs = 2000;
constexpr uint32_t AfterPulseMs = 350;
constexpr uint32_t UsbScaleSettleMs = 3000;
constexpr int32_t ConnectionedRetryCount = 3;
constexpr uint8_t ProgramTransfer = 15;

// Images for this board carry its name at offset 4096; it has no status to
// upload and no size rule.
constexpr std::string_view Hk32Board = "HK32F030C8";

// Datagrams: the start block, the first program block (from offset 8192)
// and the block that resets the ECR.
constexpr uint16_t StartBlock = 0;
constexpr uint16_t ResetBlock = 1;
constexpr uint16_t FirstUdpProgramBlock = 32;
constexpr size_t FirstUdpProgramOffset = 8192;
constexpr uint8_t UdpAcknowledge = 0x02;

constexpr size_t BlockSize = 256;

int32_t Clamped(size_t value) {
  return static_cast<int32_t>(std::min<size_t>(value, INT32_MAX));
}

bool IsHk32Image(std::span<const uint8_t> file) {
  const size_t at = TUProgramme::SkippedBytes;
  return file.size() >= at + Hk32Board.size() &&
         std::equal(Hk32Board.begin(), Hk32Board.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
}

// Up to BlockSize bytes of file from position into block; after a short
// read the rest of block keeps what it held.
void ReadBlock(std::span<const uint8_t> file, size_t position, uint8_t *block) {
  if (position >= file.size())
    return;
  const size_t count = std::min(BlockSize, file.size() - position);
  std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(position), count, block);
}

} // namespace

TUProgramme::TUProgramme(IPlatform &platform, const TLinkProcessFlags &flags,
                         std::filesystem::path debugLogFile, TLocalClock clock)
    : platform_(platform), flags_(flags), debugLogFile_(std::move(debugLogFile)), clock_(std::move(clock)),
      UDPClient(platform.CreateUdpClient()) {}

TUProgramme::~TUProgramme() {
  Close();
}

void TUProgramme::SetTerminate(bool value) {
  FTerminate = value;
  if (HBusComm1)
    HBusComm1->Abort();
}

std::unique_ptr<THecrIBusComm> TUProgramme::MakeBus() const {
  auto bus = std::make_unique<THecrIBusComm>(platform_, flags_, debugLogFile_, clock_);
  bus->SetRetryCount(DownloadRetryCount);
  bus->SetRetryInterval(DownloadRetryInterval);
  return bus;
}

bool TUProgramme::SerialPortUsed() const {
  return FComMode == TCommunicationMode::cmCOM ||
         (FComMode == TCommunicationMode::cmUSBPRN && flags_.UsbScaleFound == 0);
}

void TUProgramme::Open() {
  try {
    switch (FComMode) {
    case TCommunicationMode::cmUDP:
      UDPClient->SetTarget(FHost, static_cast<uint16_t>(FPort));
      break;
    case TCommunicationMode::cmCOM:
    case TCommunicationMode::cmUSBPRN:
      if (!HBusComm1)
        HBusComm1 = MakeBus();
      HBusComm1->iMode = FComMode == TCommunicationMode::cmCOM ? 0 : 1;
      if (SerialPortUsed()) {
        HBusComm1->SetCommName(FComName);
        HBusComm1->SetBaudRate(FBaudRate);
        HBusComm1->SetRetryCount(static_cast<TRetryCount>(FRetrycount));
        HBusComm1->SetRetryInterval(FRetryInterval);
        HBusComm1->EnableComm(1);
      }
      break;
    case TCommunicationMode::cmTCP:
    case TCommunicationMode::cmUSB:
      break;
    }
    FActive = true;
  } catch (...) {
    FActive = false;
  }
}

void TUProgramme::Close() {
  FActive = false;
  try {
    if (FComMode == TCommunicationMode::cmUDP)
      UDPClient->Close();
    else if (HBusComm1 && SerialPortUsed())
      HBusComm1->EnableComm(0);
  } catch (...) {
  }
  // The bus goes on the thread that made it: its window and timer cannot be
  // destroyed from another one, and that thread may end after the download.
  HBusComm1.reset();
}

void TUProgramme::Execute() {
  switch (FComMode) {
  case TCommunicationMode::cmUDP:
    DownloadOverUdp();
    break;
  case TCommunicationMode::cmCOM:
  case TCommunicationMode::cmUSBPRN:
    DownloadOverBus();
    break;
  case TCommunicationMode::cmTCP:
  case TCommunicationMode::cmUSB:
    break;
  }
}

void TUProgramme::DoStatusEvent(const std::u16string &Message, int32_t TotalNo, int32_t CurNo,
                                int32_t Status) {
  if (!Onstatusevent)
    return;
  EventAge.SetMessage(Message);
  EventAge.SetTotalNo(TotalNo);
  EventAge.SetCurNo(CurNo);
  EventAge.SetStatus(Status);
  Onstatusevent(*this, EventAge);
}

std::vector<uint8_t> TUProgramme::TakeImage() {
  std::optional<std::vector<uint8_t>> file = std::move(image_);
  image_.reset();
  if (!file)
    file = ReadFileBytes(std::filesystem::path(FFileName));
  if (!file)
    throw EFirmwareFileError("The firmware image cannot be read");
  return std::move(*file);
}

uint16_t TUProgramme::FileCheckSum(std::span<const uint8_t> file) {
  uint32_t sum = 0;
  for (uint8_t byte : file)
    sum += byte;
  return static_cast<uint16_t>(sum);
}

void TUProgramme::StampCheckSum(std::vector<uint8_t> &image) {
  const uint16_t sum = FileCheckSum(image);
  if (image.size() >= 2 && image[image.size() - 2] == 0 && image[image.size() - 1] == 0) {
    image[image.size() - 2] = static_cast<uint8_t>(sum);
    image[image.size() - 1] = static_cast<uint8_t>(sum >> 8);
  }
}

// --- The serial sequence ---------------------------------------------------

void TUProgramme::CloseBus() {
  HBusComm1->EnableComm(0);
}

bool TUProgramme::ReopenBus() {
  if (!SerialPortUsed())
    return true;
  try {
    HBusComm1->EnableComm(1);
    return true;
  } catch (...) {
    return false;
  }
}

void TUProgramme::DownloadOverBus() {
  const std::vector<uint8_t> file = TakeImage();
  // Without a bus (Open did not run, or could not make one) no port is open.
  if (!HBusComm1) {
    DoStatusEvent(u"Open " + FComName + u"fail!", 0, 0, TUProgrammeEventAge::Failed);
    return;
  }
  THecrIBusComm &bus = *HBusComm1;
  bus.blnIsOS = !IsHk32Image(file);
  if (bus.blnIsOS && !FActive) {
    DoStatusEvent(u"Open " + FComName + u"fail!", 0, 0, TUProgrammeEventAge::Failed);
    return;
  }
  const int32_t size = Clamped(file.size());
  const size_t blocks = (file.size() + BlockSize - 1) / BlockSize;
  // An image shorter than 4 bytes has no version word to start with; one
  // with more blocks than the 16-bit bus address reaches would wrap round
  // onto the start and end commands.
  if ((bus.blnIsOS && file.size() % BlockSize != 0) || file.size() < 4 ||
      blocks > static_cast<size_t>(MaxProgramBlocks + FirstBlockAddress)) {
    DoStatusEvent(u"Not a valid file!", size, 0, TUProgrammeEventAge::Failed);
    return;
  }
  const uint16_t version = static_cast<uint16_t>(file[file.size() - 4] | file[file.size() - 3] << 8);
  const uint16_t checksum = FileCheckSum(file);
  const int32_t n = static_cast<int32_t>(blocks) - FirstBlockAddress;

  for (int32_t restarts = 0;; ++restarts) {
    if (bus.iMode == 0) {
      const auto *text = reinterpret_cast<const uint8_t *>(ForceUpdate.data());
      bus.CommWrite(text, static_cast<uint16_t>(ForceUpdate.size()));
      platform_.Sleep(ForceUpdatePauseMs);
      bus.CommWrite(text, static_cast<uint16_t>(ForceUpdate.size()));
      platform_.Sleep(WakeUpPauseMs);
      if (!bus.WakeUp()) {
        CloseBus();
        DoStatusEvent(u"Wake up fail", size, 0, TUProgrammeEventAge::Failed);
        return;
      }
    }
    if (!bus.Connect(DownloadEcrId, true)) {
      CloseBus();
      DoStatusEvent(u"Connection fail", size, 0, TUProgrammeEventAge::Failed);
      return;
    }
    if (!bus.StartCommand(version) && bus.iMode == 0) {
      CloseBus();
      DoStatusEvent(u"Connection fail", size, 0, TUProgrammeEventAge::Failed);
      return;
    }
    if (bus.iMode == 0) {
      if (!bus.Pulse()) {
        CloseBus();
        DoStatusEvent(u"Pulse fail", size, 0, TUProgrammeEventAge::Failed);
        return;
      }
      platform_.Sleep(AfterPulseMs);
    }
    bool startAgain = false;
    for (int32_t i = 0; i < n; ++i) {
      if (FTerminate)
        break;
      platform_.PumpMessages();
      DoStatusEvent(u"Download Program... ", n, i + 1, TUProgrammeEventAge::InProgress);
      ReadBlock(file, SkippedBytes + static_cast<size_t>(i) * BlockSize, bus.Buffer.data());
      if (bus.DownloadData(ProgramTransfer, static_cast<uint16_t>(i + FirstBlockAddress)))
        continue;
      CloseBus();
      if (i == 0 && restarts < MaxSequenceRestarts && ReopenBus()) {
        startAgain = true;
        break;
      }
      DoStatusEvent(u"Download Program fail", n, i + 1, TUProgrammeEventAge::Failed);
      return;
    }
    if (!startAgain)
      break;
  }

  if (!bus.EndCommand(checksum)) {
    CloseBus();
    DoStatusEvent(u"Disconnect fail", n, 0, TUProgrammeEventAge::Failed);
    return;
  }
  CloseBus();
  if (bus.iMode == 1) {
    DoStatusEvent(u"waiting...", n, 0, TUProgrammeEventAge::Waiting);
    if (flags_.UsbScaleFound != 0)
      platform_.Sleep(UsbScaleSettleMs);
  } else {
    DoStatusEvent(u"Download Program complete", n, n, TUProgrammeEventAge::Complete);
  }
}

bool TUProgramme::Connectioned() {
  if (!FActive || !HBusComm1)
    return false;
  HBusComm1->SetRetryInterval(DownloadRetryInterval);
  HBusComm1->SetRetryCount(ConnectionedRetryCount);
  try {
    if (HBusComm1->Connect(DownloadEcrId, true))
      return true;
  } catch (...) {
    return false;
  }
  try {
    CloseBus();
  } catch (...) {
  }
  return false;
}

// --- The datagram sequence -------------------------------------------------

bool TUProgramme::SendUdpBlock(uint8_t command, uint16_t block, int32_t length) {
  std::array<uint8_t, 3 + BlockSize> datagram{};
  datagram[0] = command;
  datagram[1] = static_cast<uint8_t>(block);
  datagram[2] = static_cast<uint8_t>(block >> 8);
  const size_t count = static_cast<size_t>(std::clamp<int32_t>(length, 0, static_cast<int32_t>(BlockSize)));
  std::copy_n(BufSend.begin() + 3, count, datagram.begin() + 3);
  for (int32_t attempt = 0; attempt < UdpAttempts; ++attempt) {
    if (FTerminate)
      return false;
    try {
      UDPClient->Send(datagram.data(), 3 + count);
      uint8_t answer[2] = {};
      if (UDPClient->Receive(answer, sizeof answer, UdpAnswerMs) == 1 && answer[0] == UdpAcknowledge)
        return true;
    } catch (const EUdpError &) {
    }
  }
  return false;
}

void TUProgramme::DownloadOverUdp() {
  if (!FActive) {
    DoStatusEvent(u"Open fail!", 0, 0, TUProgrammeEventAge::Failed);
    return;
  }
  std::vector<uint8_t> image = TakeImage();
  StampCheckSum(image);
  const size_t size = image.size();
  // The block number is 16 bits wide, and block b carries the bytes from
  // 256 x b on.
  if (size > size_t{0x10000} * BlockSize) {
    DoStatusEvent(u"Not a valid file!", Clamped(size / BlockSize), 0, TUProgrammeEventAge::Failed);
    return;
  }
  uint8_t *const data = BufSend.data() + 3;
  size_t position = 0;
  int32_t i = 0;
  int32_t restarts = 0;
  while (position < size) {
    if (FTerminate)
      break;
    if (i == 1) {
      platform_.Sleep(AfterPulseMs);
      position = FirstUdpProgramOffset;
      i = FirstUdpProgramBlock;
      // An image that ends before its program part has nothing more to send.
      if (position >= size)
        break;
    }
    if (i == StartBlock) {
      std::fill_n(data, BlockSize, uint8_t{0});
      data[0] = 0x66;
      data[1] = 0xFE;
    } else {
      ReadBlock(image, position, data);
      position += std::min(BlockSize, size - position);
    }
    if (!SendUdpBlock(ProgramTransfer, static_cast<uint16_t>(i), static_cast<int32_t>(BlockSize))) {
      if (i == FirstUdpProgramBlock && restarts < MaxSequenceRestarts) {
        // From the start block again; the read position goes back too, so
        // that an image whose program part is this one block is sent again
        // instead of being taken as done.
        ++restarts;
        i = StartBlock;
        position = 0;
        continue;
      }
      DoStatusEvent(u"Download Program fail", Clamped(position / BlockSize), 0, TUProgrammeEventAge::Failed);
      return;
    }
    ++i;
    DoStatusEvent(u"Download Program... ", Clamped(size / BlockSize), Clamped(position / BlockSize),
                  TUProgrammeEventAge::InProgress);
    platform_.PumpMessages();
  }
  std::fill_n(data, BlockSize, uint8_t{0});
  if (!SendUdpBlock(ProgramTransfer, ResetBlock, static_cast<int32_t>(BlockSize)))
    DoStatusEvent(u"Reset ECR fail", Clamped(position / BlockSize), 0, TUProgrammeEventAge::Failed);
  DoStatusEvent(u"Download Program complete", Clamped(size / BlockSize), Clamped(size / BlockSize),
                TUProgrammeEventAge::Complete);
}

} // namespace pondrex
