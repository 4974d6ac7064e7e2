#include "ScratchFolder.h"

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

} // namespace pondrex::test
