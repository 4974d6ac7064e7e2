// Watches received chunks for the echo of one part of the handshake pattern
// that the open export writes ("PELQO", then 03 05 01 04 0C 04 03 04 01 04).
// The match position survives between chunks, so an echo split over several
// chunks is still seen.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pondrex {

// "PELQO" followed by the 10 bytes of the second part.
inline constexpr std::array<uint8_t, 15> PelqoHandshakePattern = {
    'P', 'E', 'L', 'Q', 'O', 0x03, 0x05, 0x01, 0x04, 0x0C, 0x04, 0x03, 0x04, 0x01, 0x04};
inline constexpr std::span<const uint8_t> PelqoClearPart{PelqoHandshakePattern.data(), 5};
inline constexpr std::span<const uint8_t> PelqoEncryptPart{PelqoHandshakePattern.data() + 5, 10};

class TPelqoEchoDetector {
public:
  explicit TPelqoEchoDetector(std::span<const uint8_t> part) : part_(part) {}

  // Feeds a chunk; true when it completed the part. The position then starts
  // again at 0.
  bool Feed(std::span<const uint8_t> chunk);

  int32_t Index() const { return index_; }
  void Reset() { index_ = 0; }

private:
  std::span<const uint8_t> part_;
  int32_t index_ = 0;
};

} // namespace pondrex
