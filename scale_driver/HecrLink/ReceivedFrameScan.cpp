#include "ReceivedFrameScan.h"

#include <algorithm>
#include <array>

namespace pondrex {

namespace {

constexpr size_t Is1Size = 16;
constexpr size_t Is1ExtendedSize = 32;
constexpr uint8_t Is1ExtensionMark = 0x12;
constexpr size_t HeaderSize = 13;
constexpr size_t AdU8Size = 16;
constexpr size_t AdU9Size = 13;

constexpr std::array<uint8_t, 2> Is1Start = {0x01, 0x02};
constexpr std::array<uint8_t, 2> AdStart = {0x02, 0x02};
constexpr std::array<uint8_t, 3> ShortIs1Start = {0x06, 0x01, 0x02};
constexpr std::array<uint8_t, 4> ZkStart = {'<', 'Z', 'K', '>'};
constexpr std::array<uint8_t, 4> TkStart = {'<', 'T', 'K', '>'};

template <size_t N> bool StartsWith(std::span<const uint8_t> rest, const std::array<uint8_t, N> &marker) {
  return rest.size() >= N && std::equal(marker.begin(), marker.end(), rest.begin());
}

// True when rest is shorter than marker and equals its beginning: the next
// bytes decide whether a frame starts here.
template <size_t N> bool CutMarker(std::span<const uint8_t> rest, const std::array<uint8_t, N> &marker) {
  return rest.size() < N && std::equal(rest.begin(), rest.end(), marker.begin());
}

bool IsProtocolStartByte(uint8_t b) {
  return b == 0xAA || b == 0xAB || b == 0xFD || b == 0xFE;
}

constexpr TReceivedFrame Wait{TReceivedKind::Wait, 0};
constexpr TReceivedFrame Skip{TReceivedKind::Skip, 1};

TReceivedFrame ScanProtocolFrame(std::span<const uint8_t> rest, size_t capacity) {
  if (rest.size() >= 3 && rest[1] == 0x01 && rest[2] == 0x02)
    return {TReceivedKind::DropAll, 0};
  if (rest.size() < HeaderSize)
    return Wait;
  const size_t n = static_cast<size_t>(rest[10]) << 8 | rest[11];
  const size_t length = n == 0 ? HeaderSize : n + 15;
  if (length > capacity)
    return {TReceivedKind::OversizedFrame, HeaderSize};
  if (rest.size() < length)
    return Wait;
  return {TReceivedKind::ProtocolFrame, length};
}

} // namespace

TReceivedFrame ScanReceivedFrame(std::span<const uint8_t> rest, size_t capacity) {
  if (rest.empty())
    return Wait;
  if (CutMarker(rest, Is1Start) || CutMarker(rest, AdStart) || CutMarker(rest, ShortIs1Start) ||
      CutMarker(rest, ZkStart) || CutMarker(rest, TkStart))
    return Wait;

  if (StartsWith(rest, Is1Start)) {
    if (rest.size() < Is1Size)
      return Wait;
    if (rest.size() > Is1Size && rest[Is1Size] == Is1ExtensionMark)
      return rest.size() < Is1ExtendedSize ? Wait : TReceivedFrame{TReceivedKind::Is1, Is1ExtendedSize};
    return {TReceivedKind::Is1, Is1Size};
  }
  if (IsProtocolStartByte(rest[0]) || StartsWith(rest, ZkStart) || StartsWith(rest, TkStart))
    return ScanProtocolFrame(rest, capacity);
  if (StartsWith(rest, AdStart)) {
    if (rest.size() < AdU9Size)
      return Wait;
    if (rest[3] == 'U' && rest[4] == '8')
      return rest.size() < AdU8Size ? Wait : TReceivedFrame{TReceivedKind::AdU8, AdU8Size};
    if (rest[3] == 'U' && rest[4] == '9')
      return {TReceivedKind::AdU9, AdU9Size};
    return Skip;
  }
  if (StartsWith(rest, ShortIs1Start))
    return rest.size() < Is1Size ? Wait : TReceivedFrame{TReceivedKind::ShortIs1, Is1Size};
  return Skip;
}

} // namespace pondrex
