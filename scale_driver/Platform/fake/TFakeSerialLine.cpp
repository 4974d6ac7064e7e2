#include "TFakeSerialLine.h"

#include "TFakeComm.h"
#include "TFakePlatform.h"

#include <algorithm>

namespace pondrex {

namespace {
// The most that one read of the serial component hands out at once.
constexpr size_t ChunkSize = 4096;
} // namespace

TFakeSerialLine::TFakeSerialLine(TKey, TFakePlatform &platform, std::u16string name)
    : platform_(platform), name_(std::move(name)) {}

const TCommSettings &TFakeSerialLine::Settings() const {
  static const TCommSettings closed;
  return owner_ != nullptr ? owner_->Applied() : closed;
}

void TFakeSerialLine::Send(std::vector<uint8_t> bytes, uint32_t delayMs) {
  if (bytes.empty()) {
    return;
  }
  platform_.At(platform_.NowUs() + uint64_t{delayMs} * 1000,
               [this, bytes = std::move(bytes)] { Arrive(bytes); });
}

void TFakeSerialLine::Arrive(const std::vector<uint8_t> &bytes) {
  if (owner_ == nullptr) {
    return;
  }
  for (size_t at = 0; at < bytes.size(); at += ChunkSize) {
    const size_t end = std::min(bytes.size(), at + ChunkSize);
    owner_->Received(std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(at),
                                          bytes.begin() + static_cast<ptrdiff_t>(end)));
  }
}

void TFakeSerialLine::Record(TSerialEventKind kind, const TCommSettings &settings, std::vector<uint8_t> bytes,
                             std::string error) {
  events_.push_back(TSerialEvent{kind, platform_.TickCount(), settings, std::move(bytes), std::move(error)});
}

std::vector<std::vector<uint8_t>> TFakeSerialLine::Writes() const {
  std::vector<std::vector<uint8_t>> writes;
  for (const TSerialEvent &event : events_) {
    if (event.Kind == TSerialEventKind::Written) {
      writes.push_back(event.Bytes);
    }
  }
  return writes;
}

std::vector<TSerialEvent> TFakeSerialLine::EventsOf(TSerialEventKind kind) const {
  std::vector<TSerialEvent> found;
  std::copy_if(events_.begin(), events_.end(), std::back_inserter(found),
               [kind](const TSerialEvent &event) { return event.Kind == kind; });
  return found;
}

} // namespace pondrex
