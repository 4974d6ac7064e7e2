// Caller buffers of the room that an export promises to stay within, each
// between guard bytes, for the tests that check what a buffer export wrote
// and that it wrote nothing beyond.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

namespace pondrex::test {

template <size_t Room, size_t Count = 1> class TGuardedBuffers {
public:
  static constexpr size_t Guard = 16;
  static constexpr char Fill = '\xCC';

  TGuardedBuffers() { memory_.fill(Fill); }

  char *Data(size_t i = 0) { return memory_.data() + Start(i); }

  // The text in buffer i up to its zero byte; "untouched" when not one byte
  // of the buffer changed, "no zero byte" when the room holds none.
  std::string Text(size_t i = 0) const {
    const char *start = memory_.data() + Start(i);
    if (std::all_of(start, start + Room, [](char c) { return c == Fill; }))
      return "untouched";
    const char *zero = std::find(start, start + Room, '\0');
    return zero == start + Room ? "no zero byte" : std::string(start, zero);
  }

  // The bytes of buffer i from offset `from` on, and every guard, are as
  // they were.
  bool UntouchedFrom(size_t from, size_t i = 0) const {
    const char *start = memory_.data() + Start(i);
    return GuardsKept() &&
           std::all_of(start + std::min(from, Room), start + Room, [](char c) { return c == Fill; });
  }

  // The guard bytes before, between and after the buffers are as they were.
  bool GuardsKept() const {
    for (size_t i = 0; i <= Count; ++i) {
      const char *guard = memory_.data() + i * (Guard + Room);
      if (!std::all_of(guard, guard + Guard, [](char c) { return c == Fill; }))
        return false;
    }
    return true;
  }

private:
  static constexpr size_t Start(size_t i) { return Guard + i * (Guard + Room); }

  std::array<char, Guard + Count *(Room + Guard)> memory_;
};

} // namespace pondrex::test
