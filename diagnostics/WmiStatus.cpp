#include "WmiStatus.h"

namespace tavrel {

bool ComSecurityAllowsQuery(std::int32_t hresult) {
  return hresult >= 0 || hresult == ComSecurityAlreadySet;
}

std::string WmiFailureLine(std::string_view message, std::int32_t hresult) {
  std::string line(message);
  line += std::to_string(hresult);
  line += '\n';
  return line;
}

} // namespace tavrel
