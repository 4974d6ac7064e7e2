#include "FileReplacement.h"

#include <array>
#include <random>
#include <system_error>
#include <utility>

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

TNewFile::TNewFile(std::filesystem::path path, std::intptr_t handle) noexcept
    : path_(std::move(path)), handle_(handle) {}

TNewFile::TNewFile(TNewFile &&other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, NoHandle)) {}

TNewFile &TNewFile::operator=(TNewFile &&other) noexcept {
  if (this != &other) {
    Close();
    path_ = std::move(other.path_);
    handle_ = std::exchange(other.handle_, NoHandle);
  }
  return *this;
}

TNewFile::~TNewFile() {
  Close();
}

void TNewFile::Close() noexcept {
  if (handle_ != NoHandle)
    CloseSystemFile(std::exchange(handle_, NoHandle));
}

bool TNewFile::WriteAndClose(std::span<const uint8_t> bytes) {
  if (handle_ == NoHandle)
    return false;
  bool written = true;
  while (written && !bytes.empty()) {
    const std::optional<size_t> count = WriteSome(handle_, bytes);
    written = count && *count > 0;
    if (written)
      bytes = bytes.subspan(*count);
  }
  const bool closed = CloseSystemFile(std::exchange(handle_, NoHandle));
  return written && closed;
}

} // namespace pondrex
