// The receive path of the scale link: reassembles the chunks that the serial
// component delivers and dispatches every complete frame in them.
//
// A frame is taken out of the receive buffer before anything is raised for
// it, and one scan runs at a time: a chunk that arrives while an event
// handler pumps is appended and dispatched by the scan already running, in
// order, after the handler returns.
#include "THecrLink.h"

#include "NumberText.h"

#include <algorithm>
#include <cstring>

namespace pondrex {

namespace {

constexpr uint32_t RefusalCode = 0x800D;

class TFlagScope {
public:
  explicit TFlagScope(bool &flag) : flag_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = false; }
  TFlagScope(const TFlagScope &) = delete;
  TFlagScope &operator=(const TFlagScope &) = delete;

private:
  bool &flag_;
};

} // namespace

bool THecrLink::CheckClearPelqo(std::span<const uint8_t> chunk) {
  return ClearDetector.Feed(chunk);
}

bool THecrLink::CheckEncryptPelqo(std::span<const uint8_t> chunk) {
  return EncryptDetector.Feed(chunk);
}

void THecrLink::SetOffset(int32_t value) {
  if (value <= 0)
    DropHeld();
  else if (static_cast<size_t>(value) < offset_ - head_)
    offset_ = head_ + static_cast<size_t>(value);
}

void THecrLink::CommReceiveData(TCommBase &, const uint8_t *Buffer, uint16_t BufferLength) {
  if (!receiveAttached_ || Buffer == nullptr || BufferLength == 0)
    return;
  const std::span<const uint8_t> chunk(Buffer, BufferLength);
  if (FClearPelqoFlag && CheckClearPelqo(chunk)) {
    FClearPelqoFlag = false;
    clearPelqoSeen_ = true;
  }
  if (FEncryptPelqoFlag && CheckEncryptPelqo(chunk)) {
    FEncryptPelqoFlag = false;
    encryptPelqoSeen_ = true;
  }
  // A chunk larger than the serial component's reads is taken in pieces of
  // that size.
  for (size_t from = 0; from < chunk.size(); from += MaxFrameSize)
    TakeChunk(chunk.subspan(from, std::min(MaxFrameSize, chunk.size() - from)));
}

void THecrLink::TakeChunk(std::span<const uint8_t> chunk) {
  if (offset_ + chunk.size() > ReceiveBufferSize) {
    // The bytes already taken make room.
    std::memmove(ReceiveBuffer.data(), ReceiveBuffer.data() + head_, offset_ - head_);
    offset_ -= head_;
    head_ = 0;
  }
  // Between scans at most one incomplete frame is held, so a chunk always
  // fits. Only chunks that come while an event handler pumps inside a scan
  // pile up; what is held is dropped when they would overflow the buffer.
  if (offset_ + chunk.size() > ReceiveBufferSize)
    DropHeld();
  std::copy(chunk.begin(), chunk.end(), ReceiveBuffer.begin() + static_cast<std::ptrdiff_t>(offset_));
  offset_ += chunk.size();
  ProcessReceiveBuffer();
}

void THecrLink::ProcessReceiveBuffer() {
  if (scanning_)
    return;
  TFlagScope scan(scanning_);
  for (;;) {
    if (head_ >= offset_) {
      DropHeld();
      return;
    }
    const std::span<const uint8_t> rest(ReceiveBuffer.data() + head_, offset_ - head_);
    const TReceivedFrame found = ScanReceivedFrame(rest, Hecrpchk.FChksum(), MaxFrameSize);
    if (found.Kind == TReceivedKind::Skip) {
      ++head_;
      continue;
    }
    if (found.Kind == TReceivedKind::Wait) {
      // Keep the rest: the incomplete frame moves to the start of the buffer.
      std::memmove(ReceiveBuffer.data(), rest.data(), rest.size());
      offset_ = rest.size();
      head_ = 0;
      return;
    }
    // The frame leaves the buffer before anything is raised for it.
    frame_.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(found.Length));
    head_ += found.Length;
    DispatchFrame(found.Kind, frame_);
  }
}

void THecrLink::DispatchFrame(TReceivedKind kind, const std::vector<uint8_t> &frame) {
  switch (kind) {
  case TReceivedKind::Is1: {
    const bool parsed = IS1_.check(frame);
    flags_.FramedReplySeen = 0;
    flags_.Is1FrameSeen = 1;
    if (parsed) {
      if (!IS1_.CurrentAD().empty())
        FAD = IS1_.CurrentAD();
      if (!IS1_.TareAD().empty())
        FTareAD = IS1_.TareAD();
      RaiseIS1();
    }
    break;
  }
  case TReceivedKind::ProtocolFrame:
    DispatchProtocolFrame(frame);
    break;
  case TReceivedKind::AdU8:
  case TReceivedKind::AdU9:
    DispatchAdFrame(kind, frame);
    break;
  case TReceivedKind::ShortIs1:
    if (IS1_.checkD0(frame))
      RaiseIS1();
    break;
  case TReceivedKind::Wait:
  case TReceivedKind::Skip:
    break;
  }
}

void THecrLink::DispatchProtocolFrame(const std::vector<uint8_t> &frame) {
  int32_t checkOffset = 0;
  const bool passed = Hecrpchk.CheckData(frame, PelqoEventArgs1.Buffer, checkOffset);
  flags_.FramedReplySeen = 1;
  flags_.Is1FrameSeen = 0;
  if (!passed)
    return;
  if (Hecrpchk.ReceiveLen() == 0)
    PelqoEventArgs1.Buffer.clear();
  PelqoEventArgs1.htc1 = &Hecrpchk;
  const uint32_t high = Hecrpchk.Command() >> 16;
  switch (Hecrpchk.LinkStatus()) {
  case THecrLinkStatus::NULL_:
    // No command waits: the raw-write exports wait for Terminate and NAKFlag.
    AddLog("result :ccstest");
    FTerminate = true;
    if (high == RefusalCode) {
      const int32_t code = static_cast<int32_t>(Hecrpchk.Command() & 0xFF);
      Hecrpchk.SetResultID(code);
      FNAKFlag = true;
      RaiseError(code);
    }
    break;
  case THecrLinkStatus::ifQty:
    RaiseStatus();
    break;
  case THecrLinkStatus::ifSend:
  case THecrLinkStatus::ifReceive:
  case THecrLinkStatus::ifConnection:
    // The answer to the command that waits; its sender judges it.
    TakeAnswer();
    FTerminate = true;
    break;
  }
}

std::u16string THecrLink::AdText(const std::vector<uint8_t> &frame, int32_t position) {
  const TVariantValue value = Encoding().BufToData(dtBIN, frame, position, 2, 0);
  return FloatToText(VariantToDouble(value).value_or(0));
}

void THecrLink::DispatchAdFrame(TReceivedKind kind, const std::vector<uint8_t> &frame) {
  FblnReadFlag = true;
  if (kind == TReceivedKind::AdU8) {
    int32_t position = 8;
    FstrVersion = VariantToText(Encoding().BufToData(dtASC, frame, position, 3, 0));
    FstrOZeroAD = AdText(frame, 11);
    FstrOFullAD = IntToText(static_cast<uint16_t>(frame[13] << 8 | frame[14]));
  } else {
    FstrTareAD = AdText(frame, 8);
    FstrZeroAD = AdText(frame, 10);
  }
}

} // namespace pondrex
