// Text arguments of the exports: zero-terminated single-byte text in the
// system code page, turned into the driver's text.
#pragma once

#include <string>

namespace pondrex::api {

// A null pointer is an empty text; bytes that the system cannot convert give
// an empty text too.
std::u16string DriverText(const char *text);

} // namespace pondrex::api
