#include "FakeBootLoader.h"

#include "BootFrames.h"

#include <algorithm>

namespace pondrex::test {

namespace {

bool IsBurst(const Bytes &bytes) {
  return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0x66; });
}

} // namespace

TFakeBootLoader::TFakeBootLoader(TFakeSerialLine &line) {
  line.SetResponder([this](TFakeSerialLine &l, const TWrittenBlock &block) { Written(l, block); });
}

void TFakeBootLoader::On(TBootRequest request, std::vector<TBootReply> replies) {
  replies_[request] = {std::move(replies), 0};
}

TBootRequest TFakeBootLoader::RequestOf(const Bytes &packet) {
  if (packet[0] == 14) {
    switch (packet[1]) {
    case 1:
      return TBootRequest::Connect;
    case 2:
      return TBootRequest::DisConnect;
    case 16:
      return TBootRequest::Status;
    case 21:
      return TBootRequest::CheckBroadCast;
    default:
      return TBootRequest::Other;
    }
  }
  if (packet[0] == 15 && packet[2] == 0 && packet[1] <= 1)
    return packet[1] == 0 ? TBootRequest::Start : TBootRequest::End;
  return TBootRequest::Block;
}

TBootReply TFakeBootLoader::Next(TBootRequest request) {
  auto found = replies_.find(request);
  if (found == replies_.end()) {
    if (request == TBootRequest::Status)
      return TBootReply::WithData(statusBlock_);
    if (request == TBootRequest::CheckBroadCast)
      return TBootReply::WithData({});
    return TBootReply::Ack();
  }
  auto &[replies, next] = found->second;
  const TBootReply reply = replies[std::min(next, replies.size() - 1)];
  ++next;
  return reply;
}

void TFakeBootLoader::Written(TFakeSerialLine &line, const TWrittenBlock &block) {
  bool sumOk = false;
  const std::optional<Bytes> packet = PacketOf(block.Bytes, sumOk);
  if (!packet) {
    log_.push_back(
        {block.Tick, block.Settings.BaudRate, IsBurst(block.Bytes) ? "burst" : "raw", block.Bytes});
    return;
  }
  log_.push_back({block.Tick, block.Settings.BaudRate, sumOk ? "frame" : "badframe", *packet});
  if (!sumOk || (rate_ && *rate_ != block.Settings.BaudRate))
    return;
  const TBootReply reply = Next(RequestOf(*packet));
  switch (reply.Kind) {
  case TBootReply::TKind::Ack:
    line.Send({0x02}, AnswerDelayMs);
    break;
  case TBootReply::TKind::Refuse:
    line.Send({0x55}, AnswerDelayMs);
    break;
  case TBootReply::TKind::Silent:
    break;
  case TBootReply::TKind::Data:
  case TBootReply::TKind::BadSum: {
    Bytes answer = StampedPacket((*packet)[0], (*packet)[1], (*packet)[2], reply.Data);
    if (reply.Kind == TBootReply::TKind::BadSum)
      answer[259] ^= 0x01;
    line.Send(FrameOf(answer), AnswerDelayMs);
    break;
  }
  case TBootReply::TKind::Raw:
    line.Send(reply.Data, AnswerDelayMs);
    break;
  }
}

std::vector<Bytes> TFakeBootLoader::Packets(std::optional<TBootRequest> request) const {
  std::vector<Bytes> packets;
  for (const TBootEntry &entry : log_) {
    if (entry.Kind == "frame" && (!request || RequestOf(entry.Bytes) == *request))
      packets.push_back(entry.Bytes);
  }
  return packets;
}

std::vector<uint32_t> TFakeBootLoader::Rates(TBootRequest request) const {
  std::vector<uint32_t> rates;
  for (const TBootEntry &entry : log_) {
    if (entry.Kind == "frame" && RequestOf(entry.Bytes) == request)
      rates.push_back(entry.Rate);
  }
  return rates;
}

} // namespace pondrex::test
