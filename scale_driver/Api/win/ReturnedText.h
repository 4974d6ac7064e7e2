// Texts that an export returns: the library keeps the last one of each
// export, so the pointer stays valid until that export is called again;
// null means that there is no text.
#pragma once

#include "PondrexModule.h"
#include "SystemCodePage.h"

#include <optional>
#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t));

namespace pondrex::win {

// The whole text in the system code page; empty when the system refuses
// the conversion.
inline std::string SystemText(std::u16string_view text) {
  return TextToSystemBytes(text).value_or(std::string());
}

// Runs take on the driver object and returns its text as single-byte text
// of the system code page, kept in kept.
template <typename Take> const char *NarrowTextResult(std::string &kept, Take take) noexcept {
  return RunExport(static_cast<const char *>(nullptr), [&](TPSensor &sensor) -> const char * {
    const std::optional<std::u16string> text = take(sensor);
    kept = text ? SystemText(*text) : std::string();
    return text ? kept.c_str() : nullptr;
  });
}

// The same as wide (UTF-16) text.
template <typename Take> const wchar_t *WideTextResult(std::u16string &kept, Take take) noexcept {
  return RunExport(static_cast<const wchar_t *>(nullptr), [&](TPSensor &sensor) -> const wchar_t * {
    const std::optional<std::u16string> text = take(sensor);
    kept = text.value_or(std::u16string());
    return text ? reinterpret_cast<const wchar_t *>(kept.c_str()) : nullptr;
  });
}

} // namespace pondrex::win
