#include "DependencyCollectors.h"

#include "MissingLibraries.h"
#include "WideText.h"
#include "WinFileSystem.h"

#include <windows.h>

namespace tavrel {

std::u16string ListSystemDirectoryModules() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    // Failed, or the buffer was too small and holds no path.
    return u"";
  }
  WinFileSystem fileSystem;
  return ModuleListing(fileSystem, FromWide(std::wstring_view(buffer, length)));
}

std::u16string BuildMissingDependencyReport() {
  return MissingDependencyText(ListSystemDirectoryModules());
}

} // namespace tavrel
