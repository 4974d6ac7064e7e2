#include "DriverText.h"

#include "SystemCodePage.h"

#include <string_view>

namespace pondrex::api {

std::u16string DriverText(const char *text) {
  if (text == nullptr)
    return std::u16string();
  return SystemBytesToText(std::string_view(text)).value_or(std::u16string());
}

} // namespace pondrex::api
