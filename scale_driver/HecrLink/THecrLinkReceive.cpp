// The receive path of the scale link: reassembles the chunks that the serial
// component delivers and dispatches every complete frame in them.
//
// A frame is taken out of the receive buffer before anything is raised for
// it, into a copy of its own scan's, so an event handler may pump: a chunk
// that arrives meanwhile is appended and scanned at once by a nested scan,
// which goes on from where the running scan stands. A command that the
// handler sends (Tare when the weight is stable, say) thus gets its answer
// during its own wait. What the running scan had not reached when that
// command was written is set aside for it, so it is neither taken as the
// command's answer nor lost. While that command waits, the frames that come
// are scanned for its answer only; every other frame is put behind those set
// aside, so that once the handler returns they all come, in the order of the
// line, and the last weight taken is the newest. A handler's command thus
// nests one level of scans at most, whatever the handlers call.
#include "THecrLink.h"

#include "NumberText.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cstring>

namespace pondrex {

namespace {

constexpr uint32_t RefusalCode = 0x800D;
// Frames that the scale sends by itself, which answer no command.
constexpr uint32_t MeasurementCode = 0x8300;
constexpr uint32_t UnsolicitedCode = 0x5007;

// The high 16 bits of a protocol frame's command code (bytes 5 and 6).
uint32_t CommandHigh(const std::vector<uint8_t> &frame) {
  return frame.size() > 6 ? static_cast<uint32_t>(frame[5] << 8 | frame[6]) : 0;
}

} // namespace

bool THecrLink::CheckClearPelqo(std::span<const uint8_t> chunk) {
  return clearDetector_.Feed(chunk);
}

bool THecrLink::CheckEncryptPelqo(std::span<const uint8_t> chunk) {
  return encryptDetector_.Feed(chunk);
}

void THecrLink::SetOffset(int32_t value) {
  if (value <= 0) {
    DropHeld();
    for (TScanLevel &level : scanLevels_)
      level.SetAside.clear();
  } else if (static_cast<size_t>(value) < offset_ - head_) {
    offset_ = head_ + static_cast<size_t>(value);
    rawFence_ = std::min(rawFence_, offset_);
  }
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
  if (offset_ + chunk.size() > ReceiveBufferSize)
    CompactHeld();
  // Between scans at most one incomplete frame is held, and a scan takes
  // every chunk as it comes, so a chunk always fits unless a handler's
  // nested chunks meet a nearly full buffer: what is held is then dropped.
  if (offset_ + chunk.size() > ReceiveBufferSize)
    DropHeld();
  std::copy(chunk.begin(), chunk.end(), ReceiveBuffer.begin() + static_cast<std::ptrdiff_t>(offset_));
  offset_ += chunk.size();
  // Handlers that pump by themselves nest no deeper than this: the chunk
  // waits for the scans that run. A held wait's scan always runs, for its
  // answer; it raises no other frame.
  if (scanDepth_ >= MaxScanDepth && (wait_ == nullptr || !wait_->Held))
    return;
  ProcessReceiveBuffer();
}

void THecrLink::CompactHeld() {
  std::memmove(ReceiveBuffer.data(), ReceiveBuffer.data() + head_, offset_ - head_);
  rawFence_ = rawFence_ > head_ ? rawFence_ - head_ : 0;
  offset_ -= head_;
  head_ = 0;
}

size_t THecrLink::CompleteHeld() const {
  size_t at = head_;
  while (at < offset_) {
    const TReceivedFrame found =
        ScanReceivedFrame(std::span<const uint8_t>(ReceiveBuffer.data() + at, offset_ - at), MaxFrameSize);
    if (found.Kind == TReceivedKind::Wait || found.Kind == TReceivedKind::DropAll)
      break;
    at += found.Length;
  }
  return at - head_;
}

void THecrLink::SetAsideHeld() {
  if (scanDepth_ > 0) {
    std::vector<uint8_t> &aside = scanLevels_[scanDepth_ - 1].SetAside;
    const auto from = ReceiveBuffer.begin() + static_cast<std::ptrdiff_t>(head_);
    aside.insert(aside.end(), from, from + static_cast<std::ptrdiff_t>(CompleteHeld()));
  }
  DropHeld();
}

void THecrLink::SetAsideForRawWrite() {
  if (scanDepth_ > 0) {
    const size_t complete = CompleteHeld();
    std::vector<uint8_t> &aside = scanLevels_[scanDepth_ - 1].SetAside;
    const auto from = ReceiveBuffer.begin() + static_cast<std::ptrdiff_t>(head_);
    aside.insert(aside.end(), from, from + static_cast<std::ptrdiff_t>(complete));
    head_ += complete;
  }
  rawFence_ = offset_;
}

void THecrLink::RestoreSetAside(std::vector<uint8_t> &aside) {
  if (aside.empty())
    return;
  CompactHeld();
  // What came after the set-aside bytes stays behind them; should both not
  // fit, the newer bytes (at most an incomplete frame) give way.
  if (aside.size() + offset_ > ReceiveBufferSize)
    offset_ = rawFence_ = 0;
  std::memmove(ReceiveBuffer.data() + aside.size(), ReceiveBuffer.data(), offset_);
  std::copy(aside.begin(), aside.end(), ReceiveBuffer.begin());
  offset_ += aside.size();
  // Bytes set aside came before the request of a raw write that waits.
  if (wait_ != nullptr && !wait_->Framed)
    rawFence_ += aside.size();
  aside.clear();
}

bool THecrLink::MayAnswerHeldWait(TReceivedKind kind, const std::vector<uint8_t> &frame,
                                  bool beforeWrite) const {
  if (wait_->Answered || beforeWrite || kind != TReceivedKind::ProtocolFrame)
    return false;
  const uint32_t high = CommandHigh(frame);
  return high != MeasurementCode && !(wait_->Framed && high == UnsolicitedCode);
}

void THecrLink::ProcessReceiveBuffer() {
  const size_t level = scanDepth_;
  ++scanDepth_;
  const TScopeExit leave([this] { --scanDepth_; });
  // A deque keeps the levels in place while nested scans add theirs.
  if (scanLevels_.size() <= level)
    scanLevels_.emplace_back();
  TScanLevel &scan = scanLevels_[level];
  // A wait started from a handler: the frames other than its answer go
  // behind those set aside for the scan that raised the handler.
  std::vector<uint8_t> *heldBack =
      wait_ != nullptr && wait_->Held ? &scanLevels_[wait_->Level - 1].SetAside : nullptr;
  // Otherwise, what the scan that raised the handler set aside comes first:
  // it is older than every byte held.
  if (heldBack == nullptr && level > 0)
    RestoreSetAside(scanLevels_[level - 1].SetAside);
  for (;;) {
    if (head_ >= offset_) {
      DropHeld();
      return;
    }
    const std::span<const uint8_t> rest(ReceiveBuffer.data() + head_, offset_ - head_);
    const TReceivedFrame found = ScanReceivedFrame(rest, MaxFrameSize);
    switch (found.Kind) {
    case TReceivedKind::Skip:
      ++head_;
      continue;
    case TReceivedKind::Wait:
      // Keep the rest: the incomplete frame moves to the start of the buffer.
      CompactHeld();
      return;
    case TReceivedKind::DropAll:
      DropHeld();
      return;
    case TReceivedKind::OversizedFrame:
      // It can never be checked: dropped as a frame that failed its check.
      head_ += found.Length;
      flags_.FramedReplySeen = 1;
      flags_.Is1FrameSeen = 0;
      continue;
    default:
      break;
    }
    // The frame leaves the buffer before anything is raised for it.
    const bool beforeWrite = head_ < rawFence_;
    scan.Frame.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(found.Length));
    head_ += found.Length;
    if (heldBack != nullptr && !MayAnswerHeldWait(found.Kind, scan.Frame, beforeWrite)) {
      heldBack->insert(heldBack->end(), scan.Frame.begin(), scan.Frame.end());
      continue;
    }
    DispatchFrame(found.Kind, scan.Frame, !beforeWrite);
    RestoreSetAside(scan.SetAside);
  }
}

void THecrLink::DispatchFrame(TReceivedKind kind, const std::vector<uint8_t> &frame, bool mayAnswer) {
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
    DispatchProtocolFrame(frame, mayAnswer);
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
  case TReceivedKind::DropAll:
  case TReceivedKind::OversizedFrame:
    break;
  }
}

void THecrLink::DispatchProtocolFrame(const std::vector<uint8_t> &frame, bool mayAnswer) {
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
    // The answer of the raw write that waits, unless it began before the
    // request; the first one only.
    if (mayAnswer && wait_ != nullptr && !wait_->Framed && !wait_->Answered) {
      wait_->Answered = true;
      wait_->Refused = high == RefusalCode;
    }
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
