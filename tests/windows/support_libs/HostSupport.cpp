#include "HostSupport.h"

#include <windows.h>

#include <winternl.h>

#include <io.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace pos::test {

namespace {

// One entry of the system handle table (SystemHandleInformation).
struct HandleEntry {
  USHORT processId;
  USHORT creatorBackTraceIndex;
  UCHAR objectType;
  UCHAR attributes;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};
constexpr auto SystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS InfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

} // namespace

long processHandleCount() {
  std::vector<uint64_t> buffer(1 << 16);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(uint64_t));
    const NTSTATUS status = NtQuerySystemInformation(SystemHandleInformation, buffer.data(), size, &needed);
    if (status == InfoLengthMismatch) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) {
      return -1;
    }
    const auto *table = reinterpret_cast<const HandleTable *>(buffer.data());
    const USHORT self = static_cast<USHORT>(GetCurrentProcessId());
    long count = 0;
    for (ULONG i = 0; i < table->count; ++i) {
      if (table->entries[i].processId == self) {
        ++count;
      }
    }
    return count;
  }
  return -1;
}

StdoutCapture::StdoutCapture() {
  std::fflush(stdout);
  FILE *file = std::tmpfile();
  if (file == nullptr) {
    throw std::runtime_error("no temporary file for standard output");
  }
  file_ = file;
  saved_ = _dup(1);
  _dup2(_fileno(file), 1);
}

StdoutCapture::~StdoutCapture() {
  restore();
  if (file_ != nullptr) {
    std::fclose(static_cast<FILE *>(file_));
  }
}

void StdoutCapture::restore() {
  if (saved_ >= 0) {
    std::fflush(stdout);
    _dup2(saved_, 1);
    _close(saved_);
    saved_ = -1;
  }
}

std::string StdoutCapture::text() {
  restore();
  auto *file = static_cast<FILE *>(file_);
  std::string text;
  std::rewind(file);
  char chunk[512];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    text.append(chunk, got);
  }
  // Standard output is in text mode: "\n" was written as "\r\n". The
  // texts are compared with plain line ends.
  std::erase(text, '\r');
  return text;
}

} // namespace pos::test
