#include "DiskCollectors.h"

#include "DiskSpaceText.h"
#include "FileListing.h"
#include "StandardStreamsSink.h"
#include "WideText.h"
#include "WinFileSystem.h"

#include <windows.h>

namespace tavrel {
namespace {

class WinDiskSource : public IDiskSource {
public:
  bool LogicalDriveStrings(std::u16string &list, uint32_t &error) override {
    constexpr DWORD Capacity = 2048;
    wchar_t buffer[Capacity] = {};
    const DWORD length = GetLogicalDriveStringsW(Capacity, buffer);
    if (length == 0 || length > Capacity - 1) {
      error = GetLastError();
      return false;
    }
    list = FromWide(std::wstring_view(buffer, length));
    return true;
  }

  bool FreeSpace(const std::u16string &root, DiskSpace &space, uint32_t &error) override {
    ULARGE_INTEGER freeToCaller{}, total{}, totalFree{};
    if (!GetDiskFreeSpaceExW(WidePointer(root), &freeToCaller, &total, &totalFree)) {
      error = GetLastError();
      return false;
    }
    space = {freeToCaller.QuadPart, total.QuadPart, totalFree.QuadPart};
    return true;
  }

  bool ModulePath(std::u16string &path, uint32_t &error) override {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0) {
      error = GetLastError();
      return false;
    }
    path = FromWideBuffer(buffer, length);
    return true;
  }
};

CurrentDirectory ReadCurrentDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
  if (length == 0) {
    return {false, u"", GetLastError()};
  }
  if (length >= MAX_PATH) {
    // The result is the size the directory needs; the buffer was not filled.
    return {false, u"", ERROR_FILENAME_EXCED_RANGE};
  }
  return {true, FromWide(std::wstring_view(buffer, length)), 0};
}

} // namespace

std::u16string BuildDiskSpaceReport() {
  WinDiskSource source;
  StandardStreamsSink sink;
  return DiskSpaceReportText(source, sink);
}

void ListWorkingDirectoryFiles(std::u16string &output) {
  WinFileSystem fileSystem;
  StandardStreamsSink sink;
  ListCurrentDirectoryFiles(fileSystem, sink, ReadCurrentDirectory(), output);
}

void ListFilesRecursive(const std::u16string &directory, const std::u16string &prefix,
                        std::u16string &output) {
  WinFileSystem fileSystem;
  StandardStreamsSink sink;
  WalkFilesRecursive(fileSystem, sink, directory, prefix, output);
}

} // namespace tavrel
