#include "TLinkLog.h"

#include <fstream>
#include <utility>

namespace pondrex {

void TLinkLog::Add(std::string line) {
  if (lines_.size() >= MaxLines)
    lines_.pop_front();
  lines_.push_back(std::move(line));
}

bool TLinkLog::SaveToFile(const std::filesystem::path &FileName) const {
  std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
  if (!out)
    return false;
  for (const std::string &line : lines_) {
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.write("\r\n", 2);
  }
  out.flush();
  return static_cast<bool>(out);
}

} // namespace pondrex
