// The shared UTF-8 decoder (text_common/Utf8Text.h) under the driver's
// namespace, for the units that name it so.
#pragma once

#include "Utf8Text.h"

namespace pondrex {

using pos::DecodeUtf8;

} // namespace pondrex
