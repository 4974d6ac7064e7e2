// Texts that the scale-command exports hand to the host: copies into the
// host's own buffers, which take no size and so are written only as far as
// each export promises, and texts that the library allocates for the host
// and keeps for the life of the process.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace pondrex::api {

// UTF-16 to single-byte text of the system code page, as TextToSystemBytes.
using TToSystemBytes = std::optional<std::string> (*)(std::u16string_view text);

// Writes the system code page form of text and one zero byte at the start
// of buffer, in at most room bytes (room includes the zero byte): a text that
// would not fit is cut after its last whole character, so that a character
// of two bytes is never split. A character that cannot be converted ends the
// text there. Returns the bytes written, the zero byte included; nothing is
// written when buffer is null or room is 0.
size_t CopyToCallerBuffer(std::u16string_view text, char *buffer, size_t room,
                          TToSystemBytes toSystemBytes = nullptr);

// Zero-terminated texts that the host receives and never frees, each valid
// for as long as the memory that allocate gives out (the Windows library
// takes it from the process heap and never frees it, so a text outlives even
// the library). Equal texts share one copy: a host that asks the same scale
// again and again gets the same text back and costs no memory after the
// first call; only a text not seen before takes new memory.
class TLifetimeTexts {
public:
  // Memory for the given number of bytes that is never freed, or null.
  using TAllocate = std::function<char *(size_t bytes)>;

  explicit TLifetimeTexts(TAllocate allocate) : allocate_(std::move(allocate)) {}
  TLifetimeTexts(const TLifetimeTexts &) = delete;
  TLifetimeTexts &operator=(const TLifetimeTexts &) = delete;

  // The kept copy of text with a zero byte behind it; null when no memory
  // could be had. A text with a zero byte inside ends there.
  const char *Keep(std::string_view text);
  // The number of different texts kept.
  size_t Count() const { return kept_.size(); }

private:
  TAllocate allocate_;
  std::map<std::string, const char *, std::less<>> kept_;
};

} // namespace pondrex::api
