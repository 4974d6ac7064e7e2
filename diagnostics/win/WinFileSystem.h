// Directory searches through FindFirstFileW and FindNextFileW.
#pragma once

#include "DirectorySearch.h"

namespace tavrel {

class WinFileSystem : public IFileSystem {
public:
  std::unique_ptr<IDirectorySearch> Search(const std::u16string &pattern, uint32_t &error) override;
};

} // namespace tavrel
