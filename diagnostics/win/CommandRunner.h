// Runs a command line as a child process whose standard output and standard
// error go into an anonymous pipe, and returns what the child wrote.
#pragma once

#include "UniqueHandle.h"

#include <windows.h>

#include <string>

namespace tavrel {

// The two ends of one anonymous pipe, both inheritable.
struct PipePair {
  UniqueHandle readHandle;  // kept by the program
  UniqueHandle writeHandle; // the child's standard output and standard error
};

// CreatePipe with inheritable ends and the default size.
bool CreateInheritablePipe(PipePair &pair);

// Starts the command line (its first token names the program, which the
// platform's search finds) with no standard input and both output streams
// on the pair's write end. On success the child's handles and the pair's
// write end are closed, so reading the pipe ends once the child and
// everything it started have closed their copies. `commandLine` is the
// modifiable buffer that CreateProcessW requires.
bool LaunchWithRedirectedOutput(PipePair &pair, std::u16string &commandLine);

// Reads the pipe to its end, each chunk of up to 4095 bytes up to its first
// NUL byte, takes the bytes in the system's ANSI code page and returns them
// as UTF-8.
std::string ReadPipeAsUtf8(HANDLE readHandle);

// The child's output as wide text; empty when the pipe cannot be made or
// the child cannot be started (a line then goes to standard error). Does
// not wait for the child and has no time-out.
std::u16string RunCommandCapture(const std::u16string &commandLine);

// RunCommandCapture of the error-event query.
std::u16string QueryErrorEventsViaPowerShell();

// Runs the command line with the program's own standard input, reads its
// output (taken as UTF-8) to the end and then waits for the child's end.
// "CreatePipe failed\n" or "CreateProcess failed\n" when it cannot run it.
std::u16string RunCommandAndWait(const std::u16string &commandLine);

// Reads the pipe to its end as UTF-16 output, 8190 bytes at a time (an odd
// last byte of a read is dropped). A read that fails other than at the end
// of the pipe writes "ReadFile failed (code).\n" to standard error.
std::u16string ReadPipeAsWide(HANDLE readHandle);

} // namespace tavrel
