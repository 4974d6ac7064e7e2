// The receive path of the price bus: every chunk that the serial component
// delivers, on the thread that created the bus, while it pumps.
#include "TFTPBusComm.h"

#include "SystemCodePage.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>

namespace pondrex {

namespace {

constexpr uint8_t TextStart = 0x01;
constexpr uint8_t TextFieldStart = 0x02;
constexpr uint8_t TextFieldEnd = 0x03;
constexpr uint8_t TextEnd = 0x04;
constexpr uint8_t ZFrameStart = 'Z';
constexpr size_t ReassembledLength = 10;
constexpr size_t TextFieldMax = 19;

bool IsDecisive(uint8_t byte) {
  return byte == 0x02 || byte == 0xAA || byte == 0x06 || byte == 0x15;
}

// The bytes first .. last of message (inclusive), at most TextFieldMax of
// them; empty when the range is empty or lies outside.
std::string Field(std::span<const uint8_t> message, std::optional<size_t> first, std::optional<size_t> last) {
  if (!first || !last || *last < *first || *last >= message.size())
    return std::string();
  const size_t count = std::min(*last - *first + 1, TextFieldMax);
  return std::string(message.begin() + static_cast<std::ptrdiff_t>(*first),
                     message.begin() + static_cast<std::ptrdiff_t>(*first + count));
}

// p - back, when p is set and at least back.
std::optional<size_t> Before(std::optional<size_t> p, size_t back) {
  if (!p || *p < back)
    return std::nullopt;
  return *p - back;
}

std::optional<size_t> After(std::optional<size_t> p, size_t ahead) {
  if (!p)
    return std::nullopt;
  return *p + ahead;
}

} // namespace

void TFTPBusComm::CommReceiveData(TCommBase &, const uint8_t *Buffer, uint16_t BufferLength) {
  if (Buffer == nullptr || BufferLength == 0)
    return;
  // A chunk that cannot be decoded is dropped; nothing escapes into the
  // serial component's message handler.
  try {
    HandleChunk(std::span<const uint8_t>(Buffer, BufferLength));
  } catch (const std::exception &) {
  }
}

void TFTPBusComm::HandleChunk(std::span<const uint8_t> chunk) {
  ReceiveStatus = 0;
  CommRead(chunk.data(), static_cast<uint16_t>(chunk.size()));

  // Collect what still fits; the rest of a long chunk is not kept.
  const size_t offset = static_cast<size_t>(FOffset);
  const size_t take = std::min(chunk.size(), CollectedMax - std::min(offset, CollectedMax));
  std::copy_n(chunk.begin(), take, FCommData.begin() + static_cast<std::ptrdiff_t>(offset));
  FOffset += static_cast<int32_t>(take);
  const size_t collected = static_cast<size_t>(FOffset);

  // The first decisive byte, or the start of a text frame, counts.
  std::optional<size_t> textStart;
  for (size_t i = 0; i < collected; ++i) {
    const uint8_t byte = FCommData[i];
    if (byte == TextStart) {
      // A lone first byte 0x01 may begin a text frame: wait for more.
      if (collected < 2)
        return;
      if (i + 1 < collected && FCommData[i + 1] == TextFieldStart) {
        textStart = i;
        break;
      }
      continue;
    }
    if (IsDecisive(byte)) {
      FReply = byte;
      ReceiveStatus = 1;
      break;
    }
  }
  if (textStart)
    TakeTextFrame(*textStart);

  if (RECEIVETOTAL < 1) {
    if (ReceiveStatus == 0)
      TakeWeightChunk(chunk);
  } else if (FOffset > RECEIVETOTAL) {
    // The whole upload reply is in.
    ReceiveStatus = 1;
    replyComplete_ = true;
    FOffset = 32;
  }
}

bool TFTPBusComm::TakeTextFrame(size_t start) {
  const size_t collected = static_cast<size_t>(FOffset);
  std::optional<size_t> end;
  for (size_t i = start + 2; i + 1 < collected; ++i) {
    if (FCommData[i] == TextFieldEnd && FCommData[i + 1] == TextEnd) {
      end = i + 1;
      break;
    }
  }
  // An incomplete frame stays collected for the next chunk.
  if (!end)
    return false;

  FRectxt.fill(0);
  FMessageData.fill(0);
  const size_t length = *end - start + 1;
  std::copy_n(FCommData.begin() + static_cast<std::ptrdiff_t>(start), length, FMessageData.begin());
  // A complete text frame acknowledges the wait.
  FReply = 0x06;
  ReceiveStatus = 1;

  // The fields end before the byte that precedes each separator 03 02 or
  // 03 04; the byte after the first separator belongs to no field.
  const std::span<const uint8_t> message(FMessageData.data(), length);
  std::optional<size_t> separators[3];
  size_t found = 0;
  for (size_t i = 0; i + 1 < length && found < 3; ++i) {
    if (message[i] == TextFieldEnd && (message[i + 1] == TextFieldStart || message[i + 1] == TextEnd))
      separators[found++] = i;
  }
  const std::string total = Field(message, size_t{2}, Before(separators[0], 2));
  const std::string weight = Field(message, After(separators[0], 3), Before(separators[1], 2));
  const std::string third = Field(message, After(separators[1], 2), Before(separators[2], 2));
  std::string selected;
  if (getAll)
    selected = total + ";" + weight + ";" + third;
  if (getTotal)
    selected = total;
  if (GetWeight)
    selected = weight;
  // The buffer keeps its terminating zero byte.
  std::copy_n(selected.begin(), std::min(selected.size(), FRectxt.size() - 1), FRectxt.begin());

  FOffset = 0;
  return true;
}

void TFTPBusComm::TakeWeightChunk(std::span<const uint8_t> chunk) {
  const bool startsZ = chunk[0] == ZFrameStart;
  size_t pending = static_cast<size_t>(receivelen);
  // A part that would not fit the 10-byte frame cannot belong to the one
  // pending: that one is dropped and the chunk taken on its own.
  if (pending > 0 && pending + chunk.size() > ReassembledLength) {
    Rcvbuf.fill(0);
    receivelen = 0;
    pending = 0;
  }
  std::vector<uint8_t> frame;
  if (pending > 0 || (startsZ && chunk.size() < ReassembledLength)) {
    std::copy(chunk.begin(), chunk.end(), Rcvbuf.begin() + static_cast<std::ptrdiff_t>(pending));
    receivelen += static_cast<int32_t>(chunk.size());
    if (static_cast<size_t>(receivelen) < ReassembledLength)
      return;
    frame.assign(Rcvbuf.begin(), Rcvbuf.end());
    Rcvbuf.fill(0);
    receivelen = 0;
  } else {
    frame.assign(chunk.begin(), chunk.end());
  }
  // Decoded first and reported afterwards: a report runs the host's window
  // procedure, which may pump and bring the next chunk in.
  const std::vector<TWeightReport> reports = DecodeWeightFrame(FEncoding, frame, LocaleDecimalSeparator());
  for (const TWeightReport &report : reports)
    Report(report);
}

void TFTPBusComm::Report(const TWeightReport &report) {
  if (OnShowWeight) {
    OnShowWeight(report.Stable, report.Value, report.Weight, report.UnitText, report.Flag);
    return;
  }
  platform_.SendTextToWindow(hRecv, WeightReportMessage, ReportText(report));
}

} // namespace pondrex
