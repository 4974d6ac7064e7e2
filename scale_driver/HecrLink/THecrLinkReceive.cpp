// The receive path of the scale link: reassembles the chunks that the serial
// component delivers and dispatches every complete frame in them.
//
// A frame is taken out of the receive buffer before anything is raised for
// it, into a copy of its own scan's, so an event handler may pump: a chunk
// that arrives meanwhile is appended and scanned at once by a nested scan,
// which goes on from where the running scan stands. A command that the
// handler sends (Tare when the weight is stable, say) thus gets its answer
// during its own wait. The whole frames that the running scan had not
// reached when that command was written are held back, so they are neither
// taken as the command's answer nor lost. While that command waits, the
// frames that come are scanned for its answer only; every other frame goes
// behind those held back, so that once the handler returns they all come,
// in the order of the line, and the last weight taken is the newest. A
// handler's command thus nests one level of scans at most, whatever the
// handlers call. The frames held back lie outside the receive buffer, which
// holds no more than an incomplete frame and the chunk being taken.
//
// Chunks carry the number under which the port read them. A wait's fence is
// the last chunk read when its request was written: no frame that began in
// a chunk up to the fence answers it, however late the chunk is handed out.
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
  if (value <= 0)
    DropSession();
  else if (static_cast<size_t>(value) < offset_ - head_)
    offset_ = head_ + static_cast<size_t>(value);
}

void THecrLink::DropSession() {
  DropHeld();
  held_.Clear();
}

void THecrLink::CommReceiveData(TCommBase &Sender, const uint8_t *Buffer, uint16_t BufferLength) {
  // Taken again, at once, by the scans that a handler's pump nests.
  const std::lock_guard lock(receiveMutex_);
  if (!receiveAttached_ || Buffer == nullptr || BufferLength == 0)
    return;
  const uint64_t number = Sender.DeliveredChunk();
  // Read before the port was last opened and handed out only now.
  if (number < sessionFirstChunk_)
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
  // that size; a handler raised for one piece may close the link, or close
  // it and open it again, and the rest then belongs to the closed session.
  const uint64_t session = sessionFirstChunk_;
  for (size_t from = 0; from < chunk.size() && receiveAttached_ && sessionFirstChunk_ == session;
       from += MaxFrameSize)
    TakeChunk(chunk.subspan(from, std::min(MaxFrameSize, chunk.size() - from)), number);
}

void THecrLink::TakeChunk(std::span<const uint8_t> chunk, uint64_t number) {
  if (offset_ + chunk.size() > ReceiveBufferSize)
    MakeRoom(chunk.size());
  std::copy(chunk.begin(), chunk.end(), ReceiveBuffer.begin() + static_cast<std::ptrdiff_t>(offset_));
  offset_ += chunk.size();
  takenBytes_ += chunk.size();
  // Read before the request of the wait that runs: it came before it.
  if (wait_ != nullptr && number <= wait_->FenceChunk)
    wait_->FenceByte = takenBytes_;
  ProcessReceiveBuffer();
}

void THecrLink::CompactHeld() {
  std::memmove(ReceiveBuffer.data(), ReceiveBuffer.data() + head_, offset_ - head_);
  offset_ -= head_;
  head_ = 0;
}

void THecrLink::MakeRoom(size_t size) {
  // Every scan takes or holds back each whole frame before it returns, so
  // between chunks no more than an incomplete frame is held. A chunk that
  // comes while a handler pumps can meet the whole frames of a longer one
  // that the running scan has not reached: they wait with the frames held
  // back, which come before every byte in the buffer, and a protocol start
  // that drops everything is applied at once, as the scan would.
  HoldBackComplete();
  if (head_ < offset_ &&
      ScanReceivedFrame(std::span<const uint8_t>(ReceiveBuffer.data() + head_, offset_ - head_), MaxFrameSize)
              .Kind == TReceivedKind::DropAll)
    DropHeld();
  CompactHeld();
  // An incomplete frame is shorter than MaxFrameSize, so this cannot happen;
  // should it, what is held gives way rather than the end of the buffer.
  if (offset_ + size > ReceiveBufferSize)
    DropHeld();
}

void THecrLink::HoldBackComplete() {
  while (head_ < offset_) {
    const std::span<const uint8_t> rest(ReceiveBuffer.data() + head_, offset_ - head_);
    const TReceivedFrame found = ScanReceivedFrame(rest, MaxFrameSize);
    if (found.Kind == TReceivedKind::Wait || found.Kind == TReceivedKind::DropAll)
      return;
    if (found.Kind != TReceivedKind::Skip)
      held_.Push(found.Kind, StreamPosition(head_), rest.first(found.Length));
    head_ += found.Length;
  }
}

void THecrLink::SetAsideHeld() {
  if (scanDepth_ > 0)
    HoldBackComplete();
  DropHeld();
  SetFence();
}

void THecrLink::SetAsideForRawWrite() {
  if (scanDepth_ > 0)
    HoldBackComplete();
  SetFence();
}

void THecrLink::SetFence() {
  if (wait_ == nullptr)
    return;
  wait_->FenceChunk = com1->LastChunkRead();
  wait_->FenceByte = takenBytes_;
}

bool THecrLink::MayAnswerHeldWait(TReceivedKind kind, const std::vector<uint8_t> &frame,
                                  bool afterFence) const {
  if (wait_->Answered || !afterFence || kind != TReceivedKind::ProtocolFrame)
    return false;
  const uint32_t high = CommandHigh(frame);
  return high != MeasurementCode && !(wait_->Framed && high == UnsolicitedCode);
}

void THecrLink::ProcessReceiveBuffer() {
  const size_t level = scanDepth_;
  ++scanDepth_;
  const TScopeExit leave([this] { --scanDepth_; });
  // A deque keeps the frames in place while nested scans add theirs.
  if (scanFrames_.size() <= level)
    scanFrames_.emplace_back();
  std::vector<uint8_t> &frame = scanFrames_[level];
  // While a wait started from a handler runs, the scan looks for its answer
  // only; deeper than the scans may nest, it raises nothing. Every other
  // frame is held back for the scan below, which raises it once the handler
  // returns. Neither changes while this scan runs: the wait that runs, if
  // any, belongs to an export below it.
  const bool heldWait = wait_ != nullptr && wait_->Held;
  const bool holdBack = heldWait || level >= MaxScanDepth;
  TReceivedKind kind = TReceivedKind::Skip;
  uint64_t start = 0;
  for (;;) {
    // The frames held back are older than every byte in the buffer.
    if (!holdBack && !held_.Empty() && held_.Pop(kind, start, frame)) [[unlikely]] {
      DispatchFrame(kind, frame, AfterFence(start));
      continue;
    }
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
      continue;
    default:
      break;
    }
    // The frame leaves the buffer before anything is raised for it.
    start = StreamPosition(head_);
    frame.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(found.Length));
    head_ += found.Length;
    const bool afterFence = AfterFence(start);
    if (holdBack && !(heldWait && MayAnswerHeldWait(found.Kind, frame, afterFence))) [[unlikely]] {
      held_.Push(found.Kind, start, frame);
      continue;
    }
    DispatchFrame(found.Kind, frame, afterFence);
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
  case TReceivedKind::OversizedFrame:
    // It can never be checked: dropped as a frame that failed its check.
    flags_.FramedReplySeen = 1;
    flags_.Is1FrameSeen = 0;
    break;
  case TReceivedKind::Wait:
  case TReceivedKind::Skip:
  case TReceivedKind::DropAll:
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
    // The late answer of an earlier request is dropped: it must not end the
    // wait of the command that waits now.
    if (!mayAnswer)
      break;
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
