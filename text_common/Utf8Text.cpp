#include "Utf8Text.h"

namespace pos {

namespace {

constexpr char16_t Replacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(std::string &out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

void AppendUtf16(std::u16string &out, uint32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  const uint32_t offset = codePoint - 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

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

} // namespace

std::string EncodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t codePoint =
          0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      AppendUtf8(out, codePoint);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, Replacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

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
      AppendUtf16(out, codePoint);
    }
    pos += taken;
  }
  return out;
}

} // namespace pos
