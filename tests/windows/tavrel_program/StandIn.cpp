// A console program that stands in, by the name it is started under, for
// powershell.exe (answers the two command lines of the report with fixed
// texts) or for the point-of-sale application (waits to be ended).
#include <windows.h>

#include <string>

#include "StandInTexts.h"

namespace {

void Write(const std::string &bytes) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

std::wstring OwnFileName() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring full = path;
  return full.substr(full.find_last_of(L"\\/") + 1);
}

} // namespace

int wmain() {
  using namespace tavrel::test;
  if (lstrcmpiW(OwnFileName().c_str(), kMenuviaName) == 0) {
    Sleep(10 * 60 * 1000); // the test ends it long before
    return 0;
  }
  const std::wstring line = GetCommandLineW();
  if (line == kSystemInfoCommandLine) {
    Write(kSystemInfoOutput);
  } else if (line == kEventQueryCommandLine) {
    Write(kEventQueryOutput);
  } else {
    std::string narrow;
    for (wchar_t c : line) {
      narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    Write(kUnexpectedCommandLine + narrow + "\r\n");
  }
  return 0;
}
