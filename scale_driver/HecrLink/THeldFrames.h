// The frames that the receive path holds back, in the order of the line:
// those that the running scan had not reached when an event handler sent a
// command, those that arrive while that command waits and do not answer it,
// and those that come deeper than the scans may nest. The scan that raised
// the handler takes them from here, one at a time, once the handler returns.
//
// Each frame keeps its kind and the position of its first byte in the
// stream of bytes received, which tells whether it came before the request
// of a wait. The bytes lie in one block that grows with what is held and is
// given back once the frames have been taken, so a long wait costs the
// memory of what it gathered and no more. Beyond MaxHeldBytes the oldest
// frames give way: no wait gathers that much at the link's rates and
// time-outs as set by default, but a host whose every callback waits for a
// scale that never answers would otherwise make the frames pile up without
// end.
#pragma once

#include "ReceivedFrameScan.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace pondrex {

class THeldFrames {
public:
  // About six minutes of a scale streaming at 115200 baud.
  static constexpr size_t MaxHeldBytes = 4 * 1024 * 1024;

  bool Empty() const { return entries_.empty(); }

  // Puts a frame behind those held; the oldest give way when the bytes held
  // would exceed MaxHeldBytes.
  void Push(TReceivedKind kind, uint64_t start, std::span<const uint8_t> frame);
  // Takes the oldest frame into frame (its room is reused) and gives its
  // kind and start; nothing when none is held.
  bool Pop(TReceivedKind &kind, uint64_t &start, std::vector<uint8_t> &frame);
  // Forgets every frame held and gives the memory back.
  void Clear();

private:
  struct TEntry {
    TReceivedKind Kind;
    uint64_t Start;
    size_t Length;
  };

  std::deque<TEntry> entries_;
  // The bytes of the frames held are bytes_[head_, end).
  std::vector<uint8_t> bytes_;
  size_t head_ = 0;
};

} // namespace pondrex
