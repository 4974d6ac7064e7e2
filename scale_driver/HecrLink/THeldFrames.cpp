#include "THeldFrames.h"

#include <algorithm>

namespace pondrex {

namespace {

// The bytes already taken are moved out of the block once they are more
// than those still held and more than this, so that frames taken while new
// ones come do not make the block grow.
constexpr size_t CompactAbove = 16 * 1024;
// A block grown larger than this is given back once it is empty.
constexpr size_t KeepAtMost = 64 * 1024;

} // namespace

void THeldFrames::Push(TReceivedKind kind, uint64_t start, std::span<const uint8_t> frame) {
  while (!entries_.empty() && bytes_.size() - head_ + frame.size() > MaxHeldBytes) {
    head_ += entries_.front().Length;
    entries_.pop_front();
  }
  if (head_ > CompactAbove && head_ > bytes_.size() - head_) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
  bytes_.insert(bytes_.end(), frame.begin(), frame.end());
  entries_.push_back(TEntry{kind, start, frame.size()});
}

bool THeldFrames::Pop(TReceivedKind &kind, uint64_t &start, std::vector<uint8_t> &frame) {
  if (entries_.empty())
    return false;
  const TEntry entry = entries_.front();
  entries_.pop_front();
  const auto from = bytes_.begin() + static_cast<std::ptrdiff_t>(head_);
  frame.assign(from, from + static_cast<std::ptrdiff_t>(entry.Length));
  head_ += entry.Length;
  kind = entry.Kind;
  start = entry.Start;
  if (entries_.empty()) {
    if (bytes_.capacity() > KeepAtMost)
      Clear();
    else {
      bytes_.clear();
      head_ = 0;
    }
  }
  return true;
}

void THeldFrames::Clear() {
  std::deque<TEntry>().swap(entries_);
  std::vector<uint8_t>().swap(bytes_);
  head_ = 0;
}

} // namespace pondrex
