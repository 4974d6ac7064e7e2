#include "ECommsError.h"

namespace pondrex {

std::string DescribeError(const std::exception &error) {
  std::string text = error.what();
  const auto *comms = dynamic_cast<const ECommsError *>(&error);
  if (comms != nullptr && comms->SystemError() != 0)
    text += " (system error " + std::to_string(comms->SystemError()) + ")";
  return text;
}

} // namespace pondrex
