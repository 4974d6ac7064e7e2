#include "FakeBootLoader.h"

#include <algorithm>

namespace pondrex::test {

namespace {

constexpr size_t PacketSize = 261;
constexpr size_t FrameSize = 301;
constexpr size_t Summed = 259;

uint16_t SumOf(const Bytes &packet) {
  uint32_t sum = 0;
  for (size_t i = 0; i < Summed; ++i)
    sum += packet[i];
  return static_cast<uint16_t>(sum);
}

bool IsBurst(const Bytes &bytes) {
  return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0x66; });
}

} // namespace

Bytes StampedPacket(uint8_t command, uint8_t sub, uint8_t high, const Bytes &data) {
  Bytes packet(PacketSize, 0);
  packet[0] = command;
  packet[1] = sub;
  packet[2] = high;
  std::copy_n(data.begin(), std::min<size_t>(data.size(), 256), packet.begin() + 3);
  const uint16_t sum = SumOf(packet);
  packet[259] = static_cast<uint8_t>(sum & 0xFF);
  packet[260] = static_cast<uint8_t>(sum >> 8);
  return packet;
}

// Each of the 261 packet bytes, in order, travels as its low seven bits with
// bit 7 set; after every seventh byte of the first 259, and after the two
// sum bytes, comes a byte with their top bits.
Bytes FrameOf(const Bytes &packet) {
  Bytes frame{0x03};
  uint8_t tops = 0x80;
  int inGroup = 0;
  auto flush = [&] {
    frame.push_back(tops);
    tops = 0x80;
    inGroup = 0;
  };
  for (size_t i = 0; i < PacketSize; ++i) {
    frame.push_back(static_cast<uint8_t>(packet[i] | 0x80));
    if (packet[i] & 0x80)
      tops = static_cast<uint8_t>(tops | (1 << inGroup));
    ++inGroup;
    if ((i < Summed && inGroup == 7) || i == PacketSize - 1)
      flush();
  }
  frame.push_back(0x04);
  return frame;
}

std::optional<Bytes> PacketOf(const Bytes &frame, bool &sumOk) {
  sumOk = false;
  if (frame.size() != FrameSize || frame.front() != 0x03 || frame.back() != 0x04)
    return std::nullopt;
  Bytes packet;
  size_t at = 1;
  auto group = [&](size_t count) {
    const uint8_t tops = frame[at + count];
    for (size_t k = 0; k < count; ++k)
      packet.push_back(static_cast<uint8_t>((frame[at + k] & 0x7F) | (((tops >> k) & 1) << 7)));
    at += count + 1;
  };
  for (size_t g = 0; g < Summed / 7; ++g)
    group(7);
  group(2);
  const uint16_t sum = SumOf(packet);
  sumOk = packet[259] == (sum & 0xFF) && packet[260] == (sum >> 8);
  return packet;
}

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
      return TBootReply::withData(statusBlock_);
    if (request == TBootRequest::CheckBroadCast)
      return TBootReply::withData({});
    return TBootReply::ack();
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
  switch (reply.kind) {
  case TBootReply::Kind::Ack:
    line.Send({0x02}, AnswerDelayMs);
    break;
  case TBootReply::Kind::Refuse:
    line.Send({0x55}, AnswerDelayMs);
    break;
  case TBootReply::Kind::Silent:
    break;
  case TBootReply::Kind::Data:
  case TBootReply::Kind::BadSum: {
    Bytes answer = StampedPacket((*packet)[0], (*packet)[1], (*packet)[2], reply.data);
    if (reply.kind == TBootReply::Kind::BadSum)
      answer[259] ^= 0x01;
    line.Send(FrameOf(answer), AnswerDelayMs);
    break;
  }
  case TBootReply::Kind::Raw:
    line.Send(reply.data, AnswerDelayMs);
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
