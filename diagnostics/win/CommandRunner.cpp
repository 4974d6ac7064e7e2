#include "CommandRunner.h"

#include "CommandLines.h"
#include "PipeText.h"
#include "StandardStreamsSink.h"
#include "TextConversions.h"
#include "WideText.h"

#include <iostream>

namespace tavrel {
namespace {

ChunkReader PipeReader(HANDLE readHandle, DWORD *lastError = nullptr) {
  return [readHandle, lastError](char *buffer, uint32_t capacity, uint32_t &count) {
    DWORD read = 0;
    const BOOL ok = ReadFile(readHandle, buffer, capacity, &read, nullptr);
    count = read;
    if (!ok && lastError != nullptr) {
      *lastError = GetLastError();
    }
    return ok != FALSE;
  };
}

// CreateProcessW with the pair's write end as standard output and standard
// error, and `input` as standard input.
bool StartChild(PipePair &pair, std::u16string &commandLine, HANDLE input, PROCESS_INFORMATION &process) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = pair.writeHandle.get();
  startup.hStdError = pair.writeHandle.get();
  process = PROCESS_INFORMATION{};
  return CreateProcessW(nullptr, reinterpret_cast<wchar_t *>(commandLine.data()), nullptr, nullptr, TRUE, 0,
                        nullptr, nullptr, &startup, &process) != FALSE;
}

} // namespace

bool CreateInheritablePipe(PipePair &pair) {
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = TRUE;
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &security, 0)) {
    return false;
  }
  pair.readHandle.reset(readEnd);
  pair.writeHandle.reset(writeEnd);
  return true;
}

bool LaunchWithRedirectedOutput(PipePair &pair, std::u16string &commandLine) {
  PROCESS_INFORMATION process{};
  if (!StartChild(pair, commandLine, nullptr, process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  pair.writeHandle.reset();
  return true;
}

std::string ReadPipeAsUtf8(HANDLE readHandle) {
  return AnsiBytesToUtf8(ReadChunksUpToNul(PipeReader(readHandle), 4096), DecodeAnsi);
}

std::u16string RunCommandCapture(const std::u16string &commandLine) {
  StandardStreamsSink sink;
  // Both ends are owned here, so every return closes what is still open.
  PipePair pair;
  if (!CreateInheritablePipe(pair)) {
    sink.WriteNarrow("无法创建管道\n");
    return u"";
  }
  std::u16string line = commandLine;
  if (!LaunchWithRedirectedOutput(pair, line)) {
    sink.WriteNarrow("无法执行systeminfo命令\n");
    return u"";
  }
  const std::string utf8 = ReadPipeAsUtf8(pair.readHandle.get());
  std::cout << utf8 << std::endl;
  std::cout.clear();
  pair.readHandle.reset();
  return Utf8ToWideString(utf8);
}

std::u16string QueryErrorEventsViaPowerShell() {
  return RunCommandCapture(ErrorEventsCommandLine());
}

std::u16string RunCommandAndWait(const std::u16string &commandLine) {
  PipePair pair;
  if (!CreateInheritablePipe(pair)) {
    return u"CreatePipe failed\n";
  }
  std::u16string line = commandLine;
  PROCESS_INFORMATION started{};
  if (!StartChild(pair, line, GetStdHandle(STD_INPUT_HANDLE), started)) {
    return u"CreateProcess failed\n";
  }
  UniqueHandle process(started.hProcess);
  UniqueHandle thread(started.hThread);
  pair.writeHandle.reset();
  // The pipe is drained before the wait: a child whose output exceeds what
  // the pipe holds cannot end until it has been read.
  const std::string output = ReadChunksUpToNul(PipeReader(pair.readHandle.get()), 1024);
  pair.readHandle.reset();
  WaitForSingleObject(process.get(), INFINITE);
  return Utf8ToWide(output);
}

std::u16string ReadPipeAsWide(HANDLE readHandle) {
  DWORD lastError = ERROR_BROKEN_PIPE;
  std::u16string text = ReadUtf16Chunks(PipeReader(readHandle, &lastError), 8192);
  if (lastError != ERROR_BROKEN_PIPE) {
    StandardStreamsSink().WriteNarrow("ReadFile failed (" + std::to_string(lastError) + ").\n");
  }
  return text;
}

} // namespace tavrel
