// Conversions between the narrow text that commands deliver and the wide
// (UTF-16) text that the report is kept in.
#pragma once

#include <string>
#include <string_view>

namespace tavrel {

// UTF-8 text up to its first NUL byte as wide text; invalid sequences become
// U+FFFD, they never fail the conversion.
std::u16string Utf8ToWideString(std::string_view utf8);

// The same conversion as Utf8ToWideString.
std::u16string Utf8ToWide(std::string_view utf8);

// Narrow text (up to its first NUL byte) converted with the C runtime's
// multibyte conversion in the current locale. Throws std::runtime_error
// "Conversion from UTF-8 to wstring failed" when the text holds a sequence
// that the locale does not know.
std::u16string NarrowToWide(const std::string &text);

// A copy with every line feed replaced by one blank (a carriage return stays).
std::string ReplaceNewlinesWithSpaces(std::string text);

// Whether `needle` occurs in `text`; an empty needle occurs in every text.
bool ContainsText(std::string_view text, std::string_view needle);

// Writes "delete exception char" and a line end to standard output (flushed)
// and returns Utf8ToWideString of the text.
std::u16string LogAndConvertUtf8(std::string_view utf8);

} // namespace tavrel
