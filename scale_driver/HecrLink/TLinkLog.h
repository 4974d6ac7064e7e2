// The scale link's in-memory log: one single-byte text per entry, written
// whatever the link's Debug setting says. It keeps the newest MaxLines
// entries and drops the oldest beyond that, so a link that runs for months
// holds a bounded amount of text.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>

namespace pondrex {

class TLinkLog {
public:
  static constexpr size_t MaxLines = 2000;

  void Add(std::string line);
  const std::deque<std::string> &Lines() const { return lines_; }
  size_t Count() const { return lines_.size(); }
  void Clear() { lines_.clear(); }

  // Writes every entry as one line ending in CR LF; false when the file
  // cannot be written.
  bool SaveToFile(const std::filesystem::path &FileName) const;

private:
  std::deque<std::string> lines_;
};

} // namespace pondrex
