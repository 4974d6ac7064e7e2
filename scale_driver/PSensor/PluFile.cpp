#include "PluFile.h"

#include "NumberText.h"
#include "SystemCodePage.h"
#include "Utf8Text.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <system_error>

namespace pondrex {

namespace {

constexpr char16_t Tab = u'\t';
constexpr std::array<const char16_t *, 6> UnitTexts = {u"KG", u"500G", u"600G", u"G", u"LB", u"100G"};

std::u16string Utf16(std::span<const uint8_t> bytes, bool bigEndian) {
  std::u16string text;
  text.reserve(bytes.size() / 2 + 1);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const uint16_t high = bigEndian ? bytes[i] : bytes[i + 1];
    const uint16_t low = bigEndian ? bytes[i + 1] : bytes[i];
    text.push_back(static_cast<char16_t>(high << 8 | low));
  }
  // A lone last byte is no character.
  if (bytes.size() % 2 != 0)
    text.push_back(u'\uFFFD');
  return text;
}

bool StartsWith(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> mark) {
  return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
}

std::string LineText(size_t line, const char *problem) {
  return "PLU line " + std::to_string(line) + ": " + problem;
}

} // namespace

std::optional<std::u16string> PluUnitText(uint8_t code) {
  if (code >= UnitTexts.size())
    return std::nullopt;
  return std::u16string(UnitTexts[code]);
}

std::optional<uint8_t> PluUnitCode(std::u16string_view unitText) {
  std::u16string upper(unitText);
  for (char16_t &c : upper) {
    if (c >= u'a' && c <= u'z')
      c = static_cast<char16_t>(c - u'a' + u'A');
  }
  for (size_t code = 0; code < UnitTexts.size(); ++code) {
    if (upper == UnitTexts[code])
      return static_cast<uint8_t>(code);
  }
  return std::nullopt;
}

std::u16string DecodePluText(std::span<const uint8_t> bytes) {
  if (StartsWith(bytes, {0xEF, 0xBB, 0xBF}))
    return pos::DecodeUtf8(bytes.subspan(3));
  if (StartsWith(bytes, {0xFF, 0xFE}))
    return Utf16(bytes.subspan(2), false);
  if (StartsWith(bytes, {0xFE, 0xFF}))
    return Utf16(bytes.subspan(2), true);
  const std::optional<std::u16string> text =
      SystemBytesToText(std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
  if (!text)
    throw EPluFileError("The PLU file's text cannot be converted from the system code page");
  return *text;
}

std::vector<std::u16string> SplitPluLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n')
      continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
      ++i;
    start = i + 1;
  }
  if (start < text.size())
    lines.emplace_back(text.substr(start));
  return lines;
}

std::vector<TPluSlot> ParsePluLines(const std::vector<std::u16string> &lines, char16_t decimalSeparator) {
  if (lines.size() > PluSlotCount)
    throw EPluFileError("The PLU file has more lines than the scale has slots");
  std::vector<TPluSlot> slots;
  uint8_t code = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::u16string &line = lines[i];
    const size_t tab = line.find(Tab);
    if (tab == std::u16string::npos)
      throw EPluFileError(LineText(i + 1, "no TAB between price and unit"));
    const std::optional<double> price =
        TextToFloat(std::u16string_view(line).substr(0, tab), decimalSeparator);
    if (!price)
      throw EPluFileError(LineText(i + 1, "the price is not a number"));
    const std::optional<int64_t> hundredths = RoundHalfEven(*price * 100);
    if (!hundredths || *hundredths < 0 || *hundredths > MaxPluPrice)
      throw EPluFileError(LineText(i + 1, "the price does not fit a PLU slot"));
    if (const std::optional<uint8_t> named = PluUnitCode(std::u16string_view(line).substr(tab + 1)))
      code = *named;
    slots.push_back(TPluSlot{code, static_cast<uint32_t>(*hundredths)});
  }
  return slots;
}

std::vector<TPluSlot> ReadPluFile(const std::filesystem::path &path, char16_t decimalSeparator) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    throw EPluFileError("The PLU file does not exist");
  std::ifstream file(path, std::ios::binary);
  if (!file)
    throw EPluFileError("The PLU file cannot be opened");
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad())
    throw EPluFileError("The PLU file cannot be read");
  return ParsePluLines(SplitPluLines(DecodePluText(bytes)), decimalSeparator);
}

std::string PluFileBytes(const std::vector<TPluSlot> &slots, char16_t decimalSeparator) {
  std::u16string text;
  std::u16string unit;
  for (const TPluSlot &slot : slots) {
    if (const std::optional<std::u16string> named = PluUnitText(slot.UnitCode))
      unit = *named;
    text += FloatToText(slot.Price / 100.0, decimalSeparator);
    text += Tab;
    text += unit;
    text += u"\r\n";
  }
  const std::optional<std::string> bytes = TextToSystemBytes(text);
  if (!bytes)
    throw EPluFileError("The PLU table cannot be converted to the system code page");
  return *bytes;
}

TPluFileReplacement::TPluFileReplacement(const std::filesystem::path &path) {
  namespace fs = std::filesystem;
  std::error_code error;
  path_ = fs::absolute(path, error);
  if (error || path_.filename().empty())
    throw EPluFileError("The name of the PLU file cannot be made");
  const fs::file_status status = fs::status(path_, error);
  if (fs::exists(status)) {
    if (!fs::is_regular_file(status))
      throw EPluFileError("The name of the PLU file is taken by something that is no file");
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none)
      throw EPluFileError("The PLU file is read-only");
    // Opened for writing without truncating it: this fails while another
    // program holds the file against writing.
    if (!std::fstream(path_, std::ios::in | std::ios::out | std::ios::binary).is_open())
      throw EPluFileError("The PLU file cannot be opened for writing");
    // The rename at the end needs more than writing: asked now (with the
    // file above closed again), so that a file that another program holds
    // open fails before anything is sent.
    if (!FileMayBeReplaced(path_))
      throw EPluFileError("Another program holds the PLU file open");
  }
  file_ = TNewFile::Create(path_.parent_path(), path_.filename().u16string() + u".", u".~tmp");
  if (!file_)
    throw EPluFileError("The PLU file cannot be made");
}

TPluFileReplacement::~TPluFileReplacement() {
  if (committed_ || !file_)
    return;
  file_->Close();
  std::error_code error;
  std::filesystem::remove(file_->Path(), error);
}

void TPluFileReplacement::Commit(std::string_view bytes) {
  if (!file_->WriteAndClose(std::span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size())))
    throw EPluFileError("The PLU file cannot be written");
  std::error_code error;
  std::filesystem::rename(file_->Path(), path_, error);
  if (error)
    throw EPluFileError("The PLU file cannot be replaced");
  committed_ = true;
}

} // namespace pondrex
