#include "TPelqoEchoDetector.h"

#include <algorithm>

namespace pondrex {

namespace {

// The length of the longest tail of (the first matched bytes of part, then b)
// that is also a start of part: how much of a match survives a byte that
// breaks it.
int32_t Fallback(std::span<const uint8_t> part, int32_t matched, uint8_t b) {
  for (int32_t k = matched; k > 0; --k) {
    // The tail of length k ends with b; its first k - 1 bytes are the last
    // k - 1 matched bytes.
    const size_t from = static_cast<size_t>(matched - (k - 1));
    if (part[static_cast<size_t>(k - 1)] == b &&
        std::equal(part.begin(), part.begin() + (k - 1), part.begin() + static_cast<std::ptrdiff_t>(from)))
      return k;
  }
  return 0;
}

} // namespace

bool TPelqoEchoDetector::Feed(std::span<const uint8_t> chunk) {
  bool completed = false;
  for (const uint8_t b : chunk) {
    if (b == part_[static_cast<size_t>(index_)])
      ++index_;
    else
      index_ = Fallback(part_, index_, b);
    if (static_cast<size_t>(index_) == part_.size()) {
      completed = true;
      index_ = 0;
    }
  }
  return completed;
}

} // namespace pondrex
