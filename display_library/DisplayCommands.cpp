#include "DisplayCommands.h"

namespace morvale {

std::vector<uint8_t> InitDisplayCommand() {
  return {0x1B, 0x40};
}

std::vector<uint8_t> ClearDisplayCommand() {
  return {0x0C};
}

std::vector<uint8_t> OpenCashBoxCommand() {
  return {0x02, 0x4D};
}

std::vector<uint8_t> DisplayTextCommand(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() + 4);
  bytes.insert(bytes.end(), {0x1B, 0x51, 0x41});
  bytes.insert(bytes.end(), text.begin(), text.end());
  bytes.push_back(0x0D);
  return bytes;
}

std::vector<uint8_t> LightStatusCommand(int32_t status) {
  if (status < 0 || status > 4) {
    return {};
  }
  return {0x1B, 0x73, static_cast<uint8_t>(0x30 + status)};
}

} // namespace morvale
