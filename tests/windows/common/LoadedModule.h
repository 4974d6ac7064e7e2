// A DLL loaded by file name, as a host program loads it, and freed again
// when the owner goes out of scope.
#pragma once

#include <windows.h>

#include <string>

namespace pos::test {

class LoadedModule {
public:
  // LoadLibraryW with the bare file name, so the normal search order applies
  // (the test program's folder first). Check loaded() afterwards.
  explicit LoadedModule(const wchar_t *fileName)
      : handle_(LoadLibraryW(fileName)), loadError_(handle_ == nullptr ? GetLastError() : 0) {}
  ~LoadedModule() {
    if (handle_ != nullptr) {
      FreeLibrary(handle_);
    }
  }
  LoadedModule(const LoadedModule &) = delete;
  LoadedModule &operator=(const LoadedModule &) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // GetLastError() of a failed load.
  DWORD loadError() const { return loadError_; }

  // The address of an export, found by name; null when there is none.
  const void *symbol(const char *name) const {
    return handle_ == nullptr ? nullptr : reinterpret_cast<const void *>(GetProcAddress(handle_, name));
  }

  // The full path of the file that was loaded.
  std::wstring path() const {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = handle_ == nullptr ? 0 : GetModuleFileNameW(handle_, buffer, MAX_PATH);
    return std::wstring(buffer, length);
  }

private:
  HMODULE handle_;
  DWORD loadError_;
};

} // namespace pos::test
