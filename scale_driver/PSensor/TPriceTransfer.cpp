#include "TPriceTransfer.h"

#include "FtpBusCommands.h"
#include "NumberText.h"
#include "SystemCodePage.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <span>

namespace pondrex {

namespace {

// value as an unsigned big-endian binary field of the codec; false when it
// does not fit.
bool EncodeField(TPelqoencode &codec, double value, std::span<uint8_t> field) {
  int32_t position = 0;
  return codec.DataToBufArr(dtBIN, value, field, position, static_cast<int32_t>(field.size()), 0);
}

} // namespace

TPriceTransfer::TPriceTransfer(THecrLink &link, TFTPBusComm &bus, IPlatform &platform)
    : link_(link), bus_(bus), platform_(platform) {}

uint16_t TPriceTransfer::SlotAddress(size_t index) {
  return static_cast<uint16_t>(FirstSlotAddress + SlotBytes * index);
}

void TPriceTransfer::HandPortBack() {
  bus_.SetCommName(link_.Commname());
  bus_.SetBaudRate(BaudRate);
  try {
    bus_.EnableComm(false);
  } catch (const std::exception &) {
  }
  link_.Open();
}

template <typename Body> bool TPriceTransfer::Run(Body body) {
  try {
    link_.Close();
    bus_.SetCommName(link_.Commname());
    bus_.SetBaudRate(BaudRate);
    bus_.EnableComm(true);
    platform_.Sleep(OpenSettleMs);
    bus_.DnFlag = true;
    const bool done = bus_.DownloadData(ftpbus::StartCommand, 0, 0, 0) &&
                      bus_.DownloadData(ftpbus::OpenFrame, 0, 0, 0) && body() &&
                      bus_.DownloadData(ftpbus::CloseFrame, 0, 0, 0);
    bus_.DnFlag = false;
    if (!done) {
      // The scale did not answer: the link stays closed, the port free.
      bus_.EnableComm(false);
      return false;
    }
    HandPortBack();
    return true;
  } catch (const std::exception &) {
    bus_.DnFlag = false;
    HandPortBack();
    return false;
  }
}

bool TPriceTransfer::SendPrice(double price) {
  std::array<uint8_t, PriceBytes> field{};
  const std::optional<int64_t> hundredths = RoundHalfEven(price * 100);
  if (!hundredths || !EncodeField(bus_.Encoding(), static_cast<double>(*hundredths), field))
    return false;
  return Run([this, &field] {
    std::copy(field.begin(), field.end(), bus_.Buffer.begin());
    return bus_.DownloadData(ftpbus::WriteFrame, PriceRam, 0, PriceBytes);
  });
}

bool TPriceTransfer::DownLoadPlu(const std::filesystem::path &file) {
  std::vector<TPluSlot> slots;
  try {
    slots = ReadPluFile(file, LocaleDecimalSeparator());
  } catch (const std::exception &) {
    return false;
  }
  slots.resize(PluSlotCount);
  return Run([this, &slots] {
    for (size_t i = 0; i < slots.size(); ++i) {
      bus_.Buffer[0] = slots[i].UnitCode;
      if (!EncodeField(bus_.Encoding(), slots[i].Price,
                       std::span<uint8_t>(bus_.Buffer).subspan(1, SlotPriceBytes)))
        throw EPluFileError("A PLU price does not fit its slot");
      if (!bus_.DownloadData(ftpbus::WriteFrame, PriceRam, SlotAddress(i), SlotBytes))
        return false;
    }
    return true;
  });
}

bool TPriceTransfer::UpLoadPlu(const std::filesystem::path &file) {
  // A destination that cannot be replaced fails before anything is sent.
  std::optional<TPluFileReplacement> replacement;
  try {
    replacement.emplace(file);
  } catch (const EPluFileError &) {
    return false;
  }
  std::vector<TPluSlot> slots;
  const bool read = Run([this, &slots] {
    // The field holds no sign: its three bytes are read unsigned, so that
    // every price read back can be written back.
    TPelqoencode priceCodec = bus_.Encoding();
    priceCodec.IsCardinal = true;
    for (size_t i = 0; i < PluSlotCount; ++i) {
      platform_.Sleep(SlotReadPauseMs);
      if (!bus_.UploadData(ftpbus::ReadRequest, PriceRam, SlotAddress(i), SlotBytes))
        return false;
      const double price = priceCodec.BufToBin(bus_.Buffer, 1, SlotPriceBytes, 0);
      slots.push_back(TPluSlot{bus_.Buffer[0], static_cast<uint32_t>(price)});
    }
    return true;
  });
  // The file is replaced only once the whole transfer, its closing frame
  // included, succeeded.
  if (!read)
    return false;
  try {
    replacement->Commit(PluFileBytes(slots, LocaleDecimalSeparator()));
  } catch (const EPluFileError &) {
    return false;
  }
  return true;
}

} // namespace pondrex
