// Stands in for a running point-of-sale application in the process-listing
// test: it only waits, until the test ends it (at most a minute).
#include <windows.h>

int main() {
  Sleep(60000);
  return 0;
}
