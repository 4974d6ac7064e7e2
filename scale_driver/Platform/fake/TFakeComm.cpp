#include "TFakeComm.h"

#include "ECommsError.h"
#include "TFakePlatform.h"
#include "TFakeSerialLine.h"

namespace pondrex {

namespace {
constexpr uint32_t MaxBlock = 65535;
} // namespace

TFakeComm::TFakeComm(TFakePlatform &platform) : platform_(platform) {}

TFakeComm::~TFakeComm() {
  StopComm();
  platform_.RemoveQueued(this);
}

void TFakeComm::Fail(TFakeSerialLine &line, const std::string &message) {
  line.Record(TSerialEventKind::StartFailed, settings_, {}, message);
  throw ECommsError(message);
}

void TFakeComm::StartComm() {
  TFakeSerialLine &line = platform_.Line(settings_.CommName);
  if (IsOpen()) {
    Fail(line, "This serial port already opened");
  }
  if (line.startFailure_) {
    Fail(line, *line.startFailure_);
  }
  if (line.IsOpen()) {
    // Ports are opened without sharing.
    Fail(line, "Error opening serial port");
  }
  line_ = &line;
  line.owner_ = this;
  applied_.CommName = settings_.CommName;
  opening_ = true;
  ApplyCommTimeouts();
  ApplyCommState();
  opening_ = false;
  line.Record(TSerialEventKind::Started, applied_);
  // The write thread reports an empty queue once it runs.
  PostSendDataEmpty();
}

void TFakeComm::StopComm() {
  if (!IsOpen()) {
    return;
  }
  TFakeSerialLine &line = *line_;
  line.owner_ = nullptr;
  line_ = nullptr;
  line.Record(TSerialEventKind::Stopped, applied_);
}

bool TFakeComm::WriteCommData(const uint8_t *pDataToWrite, uint32_t dwSizeofDataToWrite) {
  if (!IsOpen() || pDataToWrite == nullptr || dwSizeofDataToWrite == 0 || dwSizeofDataToWrite > MaxBlock) {
    return false;
  }
  std::vector<uint8_t> bytes(pDataToWrite, pDataToWrite + dwSizeofDataToWrite);
  TFakeSerialLine &line = *line_;
  line.Record(TSerialEventKind::Written, applied_, bytes);
  PostSendDataEmpty();
  if (line.responder_) {
    line.responder_(line, TWrittenBlock{platform_.TickCount(), std::move(bytes), applied_});
  }
  return true;
}

void TFakeComm::ApplyCommState() {
  const std::u16string name = applied_.CommName;
  const uint32_t readInterval = applied_.ReadIntervalTimeout;
  const uint32_t readMultiplier = applied_.ReadTotalTimeoutMultiplier;
  const uint32_t readConstant = applied_.ReadTotalTimeoutConstant;
  const uint32_t writeMultiplier = applied_.WriteTotalTimeoutMultiplier;
  const uint32_t writeConstant = applied_.WriteTotalTimeoutConstant;
  applied_ = settings_;
  applied_.CommName = name;
  applied_.ReadIntervalTimeout = readInterval;
  applied_.ReadTotalTimeoutMultiplier = readMultiplier;
  applied_.ReadTotalTimeoutConstant = readConstant;
  applied_.WriteTotalTimeoutMultiplier = writeMultiplier;
  applied_.WriteTotalTimeoutConstant = writeConstant;
  if (!opening_ && line_ != nullptr) {
    line_->Record(TSerialEventKind::StateApplied, applied_);
  }
}

void TFakeComm::ApplyCommTimeouts() {
  applied_.ReadIntervalTimeout = settings_.ReadIntervalTimeout;
  applied_.ReadTotalTimeoutMultiplier = settings_.ReadTotalTimeoutMultiplier;
  applied_.ReadTotalTimeoutConstant = settings_.ReadTotalTimeoutConstant;
  applied_.WriteTotalTimeoutMultiplier = settings_.WriteTotalTimeoutMultiplier;
  applied_.WriteTotalTimeoutConstant = settings_.WriteTotalTimeoutConstant;
  if (!opening_ && line_ != nullptr) {
    line_->Record(TSerialEventKind::TimeoutsApplied, applied_);
  }
}

void TFakeComm::PostSendDataEmpty() {
  if (sendEmptyQueued_) {
    return;
  }
  sendEmptyQueued_ = true;
  platform_.Enqueue(this, [this] {
    sendEmptyQueued_ = false;
    if (OnSendDataEmpty) {
      OnSendDataEmpty(*this);
    }
  });
}

void TFakeComm::Received(const std::vector<uint8_t> &chunk) {
  // Posted now, handed out by a pump: the chunk with a zero byte after it.
  std::vector<uint8_t> copy(chunk);
  copy.push_back(0);
  const uint64_t number = ++chunksRead_;
  platform_.Enqueue(this, [this, number, copy = std::move(copy)] {
    Deliver(number, copy.data(), static_cast<uint16_t>(copy.size() - 1));
  });
}

void TFakeComm::DeliverNow(const uint8_t *bytes, uint16_t count) {
  Deliver(++chunksRead_, bytes, count);
}

void TFakeComm::Deliver(uint64_t number, const uint8_t *bytes, uint16_t count) {
  deliveredChunk_ = number;
  if (OnReceiveData) {
    OnReceiveData(*this, bytes, count);
  }
}

} // namespace pondrex
