// The one exception class of the serial component: a message text.
#pragma once

#include <stdexcept>
#include <string>

namespace pondrex {

class ECommsError : public std::runtime_error {
public:
  explicit ECommsError(const std::string &message) : std::runtime_error(message) {}
};

} // namespace pondrex
