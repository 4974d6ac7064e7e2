// Upper-casing of the ASCII letters alone, for names that are compared
// without regard to case whatever the locale.
#pragma once

#include <string>
#include <string_view>

namespace pondrex {

// The text with its letters a to z upper-cased; every other character, also
// a letter outside ASCII, stays as it is.
template <typename Char> std::basic_string<Char> UpperAscii(std::basic_string_view<Char> text) {
  std::basic_string<Char> upper(text);
  for (Char &c : upper) {
    if (c >= Char('a') && c <= Char('z'))
      c = static_cast<Char>(c - Char('a') + Char('A'));
  }
  return upper;
}

} // namespace pondrex
