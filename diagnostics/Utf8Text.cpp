#include "Utf8Text.h"

#include <cstdint>

namespace tavrel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendCodePoint(std::string &out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void appendUtf16(std::u16string &out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
  }
}

// The range that the second byte of a sequence must fall in, given its lead
// byte; the later continuation bytes are always 0x80..0xBF. This rules out
// overlong forms, encoded surrogates and values above U+10FFFF.
struct LeadInfo {
  int length; // 0: not a valid lead byte
  uint8_t secondLow;
  uint8_t secondHigh;
};

LeadInfo leadInfo(uint8_t lead) {
  if (lead >= 0xC2 && lead <= 0xDF) {
    return {2, 0x80, 0xBF};
  }
  if (lead == 0xE0) {
    return {3, 0xA0, 0xBF};
  }
  if (lead == 0xED) {
    return {3, 0x80, 0x9F};
  }
  if (lead >= 0xE1 && lead <= 0xEF) {
    return {3, 0x80, 0xBF};
  }
  if (lead == 0xF0) {
    return {4, 0x90, 0xBF};
  }
  if (lead == 0xF4) {
    return {4, 0x80, 0x8F};
  }
  if (lead >= 0xF1 && lead <= 0xF3) {
    return {4, 0x80, 0xBF};
  }
  return {0, 0, 0};
}

} // namespace

std::string EncodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      appendCodePoint(out, cp);
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      appendCodePoint(out, kReplacement);
    } else {
      appendCodePoint(out, unit);
    }
  }
  return out;
}

std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<uint8_t>(bytes[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    const LeadInfo info = leadInfo(lead);
    if (info.length == 0) {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    char32_t cp = lead & (0xFF >> (info.length + 1));
    size_t taken = 1;
    bool complete = true;
    for (int k = 1; k < info.length; ++k) {
      if (i + taken >= bytes.size()) {
        complete = false;
        break;
      }
      const auto next = static_cast<uint8_t>(bytes[i + taken]);
      const uint8_t low = k == 1 ? info.secondLow : 0x80;
      const uint8_t high = k == 1 ? info.secondHigh : 0xBF;
      if (next < low || next > high) {
        complete = false;
        break;
      }
      cp = (cp << 6) | (next & 0x3F);
      ++taken;
    }
    // An incomplete sequence is replaced as a whole (its maximal valid
    // prefix); the byte that broke it is looked at again as a lead byte.
    appendUtf16(out, complete ? cp : kReplacement);
    i += taken;
  }
  return out;
}

} // namespace tavrel
