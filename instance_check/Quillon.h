// The exported function of Quillon64.dll and Quillon.dll (one library under
// two file names), as a host binds it by name after loading either by file
// name. Standard 64-bit calling convention.
#pragma once

#include <cstdint>

namespace quillon {

// isAppRunning(): claims the mutex "fs_windows_cashRegister" for the calling
// thread. 0 when this call created it (the process keeps it, owned, until it
// ends); 1 when it already existed or cannot be created. Prints one line on
// standard output.
using TIsAppRunningFn = int32_t (*)();

} // namespace quillon
