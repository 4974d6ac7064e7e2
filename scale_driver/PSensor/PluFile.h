// PLU table text files: one line per slot, the price, a TAB (0x09) and the
// unit text, e.g. "12.5<TAB>KG".
//
// Reading takes any number of lines, as UTF-8 or UTF-16 when the file
// starts with that byte-order mark and in the system code page otherwise;
// lines end at CR LF, CR or LF. Writing gives one line per slot, each ended
// by CR LF, in the system code page. Prices are decimal numbers of units
// with the given decimal separator, and are held in hundredths.
#pragma once

#include "FileReplacement.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pondrex {

// The scale's PLU table has this many slots.
inline constexpr size_t PluSlotCount = 70;
// The largest price that a slot holds, in hundredths (3 bytes).
inline constexpr uint32_t MaxPluPrice = 0xFFFFFF;

struct TPluSlot {
  uint8_t UnitCode = 0;
  // Hundredths of the price.
  uint32_t Price = 0;

  bool operator==(const TPluSlot &) const = default;
};

// A file that cannot be read or written, or a line that is no PLU.
class EPluFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The unit text of a code: 0 "KG", 1 "500G", 2 "600G", 3 "G", 4 "LB",
// 5 "100G"; none for other codes.
std::optional<std::u16string> PluUnitText(uint8_t code);
// The code of a unit text, compared upper-cased (ASCII letters) and
// untrimmed with the texts above; none for any other text.
std::optional<uint8_t> PluUnitCode(std::u16string_view unitText);

// The file's text: after a UTF-8 or UTF-16 (little- or big-endian)
// byte-order mark in that encoding, else in the system code page.
std::u16string DecodePluText(std::span<const uint8_t> bytes);
// The lines of text, split at CR LF, CR or LF; a line end at the very end
// starts no further line.
std::vector<std::u16string> SplitPluLines(std::u16string_view text);

// The slots of the lines, in order: the price is the text before the first
// TAB, times 100 and rounded half to even; the unit text is the rest of the
// line, and a unit text that names no unit keeps the code of the line
// before (0 for the first). Throws EPluFileError for a line without TAB, a
// price that is no number or does not fit a slot (negative, above
// MaxPluPrice hundredths), and for more than PluSlotCount lines.
std::vector<TPluSlot> ParsePluLines(const std::vector<std::u16string> &lines, char16_t decimalSeparator);

// The file's slots; throws EPluFileError as ParsePluLines does, and when the
// file cannot be read or its text converted.
std::vector<TPluSlot> ReadPluFile(const std::filesystem::path &path, char16_t decimalSeparator);

// The lines of slots: the price in hundredths as a decimal number in its
// shortest form, TAB, the unit text; a code without unit text keeps the
// unit text of the slot before (empty for the first). Each line ends in
// CR LF; the text is in the system code page. Throws EPluFileError when the
// system cannot convert it.
std::string PluFileBytes(const std::vector<TPluSlot> &slots, char16_t decimalSeparator);

// A PLU file that a transfer is to replace. Made before anything is sent:
// it takes the destination's absolute path (so that a host that changes
// the current folder meanwhile does not move it), checks that the
// destination can be replaced, and makes the new file beside it under a
// name that did not exist (the destination's name, a unique part and
// ".~tmp", created exclusively), so that a destination that cannot be
// replaced fails at once and no file of anyone else's is touched. Commit
// writes the new content and renames it over the destination, so that the
// destination holds either its old content or the whole new one; without
// Commit the new file is removed and the destination left as it was.
class TPluFileReplacement {
public:
  // Throws EPluFileError when path names a folder or anything else that is
  // no file, a read-only file, a file that cannot be opened for writing or
  // that another program holds open without letting it be replaced, or a
  // file that cannot be made (a folder that does not exist, a name that the
  // system refuses).
  explicit TPluFileReplacement(const std::filesystem::path &path);
  ~TPluFileReplacement();
  TPluFileReplacement(const TPluFileReplacement &) = delete;
  TPluFileReplacement &operator=(const TPluFileReplacement &) = delete;

  // The destination, absolute.
  const std::filesystem::path &Path() const { return path_; }
  // Throws EPluFileError when the content cannot be written or put in
  // place; the destination is then as it was.
  void Commit(std::string_view bytes);

private:
  std::filesystem::path path_;
  std::optional<TNewFile> file_;
  bool committed_ = false;
};

} // namespace pondrex
