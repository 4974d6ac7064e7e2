#include "PriceTransfer.h"

#include "DriverText.h"
#include "NumberText.h"
#include "PSensorGlobals.h"
#include "PluFile.h"
#include "SystemCodePage.h"

#include <array>
#include <exception>
#include <filesystem>
#include <optional>

namespace pondrex {

std::shared_ptr<TFTPBusComm> GlobalFtpBusComm;

namespace api {

std::atomic<bool> TransferRunning{false};

namespace {

constexpr uint32_t PriceBusBaudRate = 9600;
constexpr uint32_t OpenSettleMs = 100;
constexpr uint32_t SlotReadPauseMs = 45;
constexpr uint8_t StartCommand = 0x44;
constexpr uint8_t OpenFrame = 0x11;
constexpr uint8_t CloseFrame = 0x33;
constexpr uint8_t WriteFrame = 0x77;
constexpr uint8_t ReadRequest = 0x55;
constexpr uint8_t PriceRam = 0xF9;
constexpr uint16_t FirstSlotAddress = 0x00E0;
constexpr uint8_t SlotBytes = 4;
constexpr uint8_t PriceBytes = 4;
constexpr uint8_t SlotPriceBytes = 3;

uint16_t SlotAddress(size_t index) {
  return static_cast<uint16_t>(FirstSlotAddress + SlotBytes * index);
}

// value as an unsigned big-endian binary field of the codec; false when it
// does not fit.
bool EncodeField(TPelqoencode &codec, double value, std::span<uint8_t> field) {
  int32_t position = 0;
  return codec.DataToBufArr(dtBIN, value, field, position, static_cast<int32_t>(field.size()), 0);
}

// The port goes back to the link: the bus is closed on the link's port at
// its own rate, and the link opened with its own settings.
void HandPortBack(THecrLink &link, TFTPBusComm &bus) {
  bus.SetCommName(link.Commname());
  bus.SetBaudRate(PriceBusBaudRate);
  try {
    bus.EnableComm(false);
  } catch (const std::exception &) {
  }
  link.Open();
}

// The opening sequence, body and closing sequence of a transfer. body
// returns false when the scale did not acknowledge, and throws for any
// other failure.
template <typename Body> bool RunTransfer(TPSensor &sensor, TFTPBusComm &bus, Body body) {
  THecrLink &link = sensor.HecrLink1();
  try {
    link.Close();
    bus.SetCommName(link.Commname());
    bus.SetBaudRate(PriceBusBaudRate);
    bus.EnableComm(true);
    sensor.Platform().Sleep(OpenSettleMs);
    bus.DnFlag = true;
    const bool done = bus.DownloadData(StartCommand, 0, 0, 0) && bus.DownloadData(OpenFrame, 0, 0, 0) &&
                      body(bus) && bus.DownloadData(CloseFrame, 0, 0, 0);
    bus.DnFlag = false;
    if (!done) {
      // The scale did not answer: the link stays closed, the port free.
      bus.EnableComm(false);
      return false;
    }
    HandPortBack(link, bus);
    return true;
  } catch (const std::exception &) {
    bus.DnFlag = false;
    HandPortBack(link, bus);
    return false;
  }
}

std::optional<std::filesystem::path> FilePath(const char *fileName) {
  const std::u16string name = DriverText(fileName);
  if (name.empty())
    return std::nullopt;
  return std::filesystem::path(name);
}

} // namespace

void CreatePriceBus(IPlatform &platform) {
  GlobalFtpBusComm = std::make_shared<TFTPBusComm>(platform);
  GlobalEncoding = std::make_unique<TPelqoencode>();
}

void SetRecvHandle(THostWindow window) {
  if (GlobalFtpBusComm)
    GlobalFtpBusComm->hRecv = window;
}

void FreePriceBus() {
  GlobalFtpBusComm.reset();
}

int16_t SendPrice(TPSensor &sensor, double price) {
  const std::shared_ptr<TFTPBusComm> bus = GlobalFtpBusComm;
  if (!bus)
    return 0;
  std::array<uint8_t, PriceBytes> field{};
  const std::optional<int64_t> hundredths = RoundHalfEven(price * 100);
  if (!hundredths || !EncodeField(bus->Encoding(), static_cast<double>(*hundredths), field))
    return 0;
  const bool sent = RunTransfer(sensor, *bus, [&field](TFTPBusComm &b) {
    std::copy(field.begin(), field.end(), b.Buffer.begin());
    return b.DownloadData(WriteFrame, PriceRam, 0, PriceBytes);
  });
  return sent ? -1 : 0;
}

uint8_t DownLoadPlu(TPSensor &sensor, const char *fileName) {
  const std::shared_ptr<TFTPBusComm> bus = GlobalFtpBusComm;
  const std::optional<std::filesystem::path> path = FilePath(fileName);
  if (!bus || !path)
    return 0;
  std::vector<TPluSlot> slots;
  try {
    slots = ReadPluFile(*path, LocaleDecimalSeparator());
  } catch (const std::exception &) {
    return 0;
  }
  slots.resize(PluSlotCount);
  const bool written = RunTransfer(sensor, *bus, [&slots](TFTPBusComm &b) {
    for (size_t i = 0; i < slots.size(); ++i) {
      b.Buffer[0] = slots[i].UnitCode;
      if (!EncodeField(b.Encoding(), slots[i].Price, std::span<uint8_t>(b.Buffer).subspan(1, SlotPriceBytes)))
        throw EPluFileError("A PLU price does not fit its slot");
      if (!b.DownloadData(WriteFrame, PriceRam, SlotAddress(i), SlotBytes))
        return false;
    }
    return true;
  });
  return written ? 1 : 0;
}

uint8_t UpLoadPlu(TPSensor &sensor, const char *fileName) {
  const std::shared_ptr<TFTPBusComm> bus = GlobalFtpBusComm;
  const std::optional<std::filesystem::path> path = FilePath(fileName);
  if (!bus || !path)
    return 0;
  // A destination that cannot be replaced fails before anything is sent.
  std::optional<TPluFileReplacement> file;
  try {
    file.emplace(*path);
  } catch (const EPluFileError &) {
    return 0;
  }
  IPlatform &platform = sensor.Platform();
  std::vector<TPluSlot> slots;
  const bool read = RunTransfer(sensor, *bus, [&](TFTPBusComm &b) {
    // The field holds no sign: its three bytes are read unsigned, so that
    // every price read back can be written back.
    TPelqoencode priceCodec = b.Encoding();
    priceCodec.IsCardinal = true;
    for (size_t i = 0; i < PluSlotCount; ++i) {
      platform.Sleep(SlotReadPauseMs);
      if (!b.UploadData(ReadRequest, PriceRam, SlotAddress(i), SlotBytes))
        return false;
      const double price = priceCodec.BufToBin(b.Buffer, 1, SlotPriceBytes, 0);
      slots.push_back(TPluSlot{b.Buffer[0], static_cast<uint32_t>(price)});
    }
    return true;
  });
  // The file is replaced only once the whole transfer, its closing frame
  // included, succeeded.
  if (!read)
    return 0;
  try {
    file->Commit(PluFileBytes(slots, LocaleDecimalSeparator()));
  } catch (const EPluFileError &) {
    return 0;
  }
  return 1;
}

} // namespace api
} // namespace pondrex
