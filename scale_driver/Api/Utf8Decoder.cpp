#include "Utf8Decoder.h"

namespace pondrex {

namespace {

constexpr char16_t Replacement = 0xFFFD;

// What a lead byte announces: the sequence length, the payload bits it
// carries, and the range allowed for the second byte (narrower than 80..BF
// after E0, ED, F0 and F4, which rules out overlongs, surrogates and values
// above U+10FFFF).
struct TLeadByte {
  size_t Length = 0; // 0: the byte cannot start a sequence
  uint32_t Bits = 0;
  uint8_t SecondLow = 0x80;
  uint8_t SecondHigh = 0xBF;
};

TLeadByte Classify(uint8_t byte) {
  if (byte >= 0xC2 && byte <= 0xDF) {
    return {2, byte & 0x1Fu};
  }
  if (byte >= 0xE0 && byte <= 0xEF) {
    return {3, byte & 0x0Fu, static_cast<uint8_t>(byte == 0xE0 ? 0xA0 : 0x80),
            static_cast<uint8_t>(byte == 0xED ? 0x9F : 0xBF)};
  }
  if (byte >= 0xF0 && byte <= 0xF4) {
    return {4, byte & 0x07u, static_cast<uint8_t>(byte == 0xF0 ? 0x90 : 0x80),
            static_cast<uint8_t>(byte == 0xF4 ? 0x8F : 0xBF)};
  }
  return {};
}

void AppendCodePoint(std::u16string &out, uint32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  const uint32_t offset = codePoint - 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

} // namespace

std::u16string DecodeUtf8(std::span<const uint8_t> bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t pos = 0;
  while (pos < bytes.size()) {
    const uint8_t first = bytes[pos];
    if (first < 0x80) {
      out.push_back(first);
      ++pos;
      continue;
    }
    const TLeadByte lead = Classify(first);
    if (lead.Length == 0) {
      out.push_back(Replacement);
      ++pos;
      continue;
    }
    uint32_t codePoint = lead.Bits;
    uint8_t low = lead.SecondLow;
    uint8_t high = lead.SecondHigh;
    size_t taken = 1;
    while (taken < lead.Length && pos + taken < bytes.size()) {
      const uint8_t next = bytes[pos + taken];
      if (next < low || next > high) {
        break;
      }
      codePoint = (codePoint << 6) | (next & 0x3Fu);
      low = 0x80;
      high = 0xBF;
      ++taken;
    }
    if (taken < lead.Length) {
      // The valid prefix read so far is one invalid subsequence; the byte
      // that broke it is looked at again as the start of the next one.
      out.push_back(Replacement);
    } else {
      AppendCodePoint(out, codePoint);
    }
    pos += taken;
  }
  return out;
}

} // namespace pondrex
