#include "FileReplacement.h"

#include <array>
#include <random>
#include <system_error>

namespace pondrex {

namespace {

// A name's unique part is drawn this often before the folder is given up.
constexpr int NameAttempts = 64;

std::u16string HexDigits(uint32_t value) {
  static constexpr std::array<char16_t, 16> Digits = {u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',
                                                      u'8', u'9', u'a', u'b', u'c', u'd', u'e', u'f'};
  std::u16string text(8, u'0');
  for (size_t i = 0; i < text.size(); ++i)
    text[text.size() - 1 - i] = Digits[(value >> (4 * i)) & 0xF];
  return text;
}

} // namespace

std::optional<TNewFile> TNewFile::Create(const std::filesystem::path &folder, const std::u16string &prefix,
                                         const std::u16string &suffix) {
  std::random_device seed;
  std::mt19937 draw(seed());
  for (int attempt = 0; attempt < NameAttempts; ++attempt) {
    bool taken = false;
    std::optional<TNewFile> file = OpenNew(folder / (prefix + HexDigits(draw()) + suffix), taken);
    if (file || !taken)
      return file;
  }
  return std::nullopt;
}

} // namespace pondrex
