#include "ComPortListText.h"

namespace morvale {

std::string ComPortListText(const std::vector<int> &portNumbers) {
  std::string text = "[";
  for (size_t i = 0; i < portNumbers.size(); ++i) {
    if (i != 0) {
      text += ',';
    }
    text += "\"COM" + std::to_string(portNumbers[i]) + "\"";
  }
  text += ']';
  return text;
}

} // namespace morvale
