// A host process for the single-instance tests: loads the library named on
// the command line by file name, calls its isAppRunning the given number of
// times and prints "@" and each result on a line of its own, after whatever
// the library printed. With "hold" it then prints "holding" and keeps running
// (and so keeps the library's mutex) until its standard input ends.
//
// Usage: InstanceProbe.exe LIBRARY.dll CALLS [hold]
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: InstanceProbe.exe LIBRARY.dll CALLS [hold]\n");
    return 2;
  }
  HMODULE library = LoadLibraryA(argv[1]);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  using IsAppRunningFn = int32_t (*)();
  const auto isAppRunning =
      reinterpret_cast<IsAppRunningFn>(reinterpret_cast<void *>(GetProcAddress(library, "isAppRunning")));
  if (isAppRunning == nullptr) {
    std::fprintf(stderr, "%s has no isAppRunning\n", argv[1]);
    return 2;
  }
  const int calls = std::atoi(argv[2]);
  for (int i = 0; i < calls; ++i) {
    const int32_t result = isAppRunning();
    std::printf("@%d\n", static_cast<int>(result));
  }
  if (argc > 3 && std::strcmp(argv[3], "hold") == 0) {
    std::printf("holding\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
  }
  std::fflush(stdout);
  return 0;
}
