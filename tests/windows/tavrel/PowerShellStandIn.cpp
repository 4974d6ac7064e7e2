// Stands in for powershell.exe in the command-runner tests. It records its
// command line and writes the output that the test chose, both through
// environment variables that the test sets before starting it:
//   TAVREL_STANDIN_RECORD      file that receives the command line (UTF-16LE)
//   TAVREL_STANDIN_STDOUT_HEX  bytes to write to standard output, in hex
//   TAVREL_STANDIN_REPEAT      how many times to write them (default 1)
//   TAVREL_STANDIN_STDERR_HEX  bytes to write to standard error afterwards
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring variable(const wchar_t *name) {
  wchar_t value[32768];
  const DWORD length = GetEnvironmentVariableW(name, value, 32768);
  return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

std::string fromHex(const std::wstring &hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16)));
  }
  return bytes;
}

void writeAll(HANDLE handle, const std::string &bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr)) {
      return;
    }
    done += written;
  }
}

} // namespace

int main() {
  const std::wstring record = variable(L"TAVREL_STANDIN_RECORD");
  if (!record.empty()) {
    HANDLE file = CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      const wchar_t *line = GetCommandLineW();
      writeAll(file, std::string(reinterpret_cast<const char *>(line), std::wcslen(line) * sizeof(wchar_t)));
      CloseHandle(file);
    }
  }
  const std::string out = fromHex(variable(L"TAVREL_STANDIN_STDOUT_HEX"));
  const std::wstring repeat = variable(L"TAVREL_STANDIN_REPEAT");
  const unsigned long times = repeat.empty() ? 1 : std::wcstoul(repeat.c_str(), nullptr, 10);
  std::string all;
  for (unsigned long i = 0; i < times; ++i) {
    all += out;
  }
  writeAll(GetStdHandle(STD_OUTPUT_HANDLE), all);
  writeAll(GetStdHandle(STD_ERROR_HANDLE), fromHex(variable(L"TAVREL_STANDIN_STDERR_HEX")));
  return 0;
}
