#include "ScratchFolder.h"

#include <algorithm>
#include <random>
#include <string>
#include <system_error>

namespace pondrex::test {

TScratchFolder::TScratchFolder() {
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("pondrex-test-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(path_))
      return;
  }
}

TScratchFolder::~TScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> SortedNames(const std::filesystem::path &folder) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace pondrex::test
