#include "WinFileSystem.h"

#include "WideText.h"

#include <windows.h>

namespace tavrel {
namespace {

class WinDirectorySearch : public IDirectorySearch {
public:
  WinDirectorySearch() = default;
  ~WinDirectorySearch() override {
    if (find_ != INVALID_HANDLE_VALUE) {
      FindClose(find_);
    }
  }
  WinDirectorySearch(const WinDirectorySearch &) = delete;
  WinDirectorySearch &operator=(const WinDirectorySearch &) = delete;

  bool Next(DirectoryEntry &entry) override {
    if (!haveFirst_) {
      if (!FindNextFileW(find_, &data_)) {
        stopCode_ = GetLastError();
        return false;
      }
    }
    haveFirst_ = false;
    entry.name = FromWideBuffer(data_.cFileName, MAX_PATH);
    entry.isDirectory = (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
  }
  uint32_t StopCode() const override { return stopCode_; }

  // Runs FindFirstFileW; the search then holds the first entry.
  bool Start(const std::u16string &pattern, uint32_t &error) {
    find_ = FindFirstFileW(WidePointer(pattern), &data_);
    if (find_ == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      return false;
    }
    return true;
  }

private:
  HANDLE find_ = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data_{};
  bool haveFirst_ = true;
  uint32_t stopCode_ = ErrorNoMoreFiles;
};

} // namespace

std::unique_ptr<IDirectorySearch> WinFileSystem::Search(const std::u16string &pattern, uint32_t &error) {
  auto search = std::make_unique<WinDirectorySearch>();
  if (!search->Start(pattern, error)) {
    return nullptr;
  }
  return search;
}

} // namespace tavrel
