// A new empty folder under the system's temporary folder for one test,
// removed with everything in it when the test ends. Its name is random, so
// tests that run in parallel never share one.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pondrex::test {

class TScratchFolder {
public:
  TScratchFolder();
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder &) = delete;
  TScratchFolder &operator=(const TScratchFolder &) = delete;

  const std::filesystem::path &Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path &name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

// The names of the entries of a folder, sorted: what a test's work left there.
std::vector<std::string> SortedNames(const std::filesystem::path &folder);

} // namespace pondrex::test
