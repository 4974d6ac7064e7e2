// The system's part in replacing a file, on Windows.
#include "FileReplacement.h"

#include "UniqueHandle.h"

#include <windows.h>

#include <algorithm>

namespace pondrex {

namespace {

HANDLE HandleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

} // namespace

std::optional<TNewFile> TNewFile::OpenNew(std::filesystem::path path, bool &taken) {
  // CREATE_NEW never opens a file that exists; no sharing while the file is
  // being made.
  const HANDLE handle =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return std::nullopt;
  }
  return TNewFile(std::move(path), reinterpret_cast<std::intptr_t>(handle));
}

std::optional<size_t> TNewFile::WriteSome(std::intptr_t handle, std::span<const uint8_t> bytes) {
  const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
  DWORD count = 0;
  if (!WriteFile(HandleOf(handle), bytes.data(), chunk, &count, nullptr))
    return std::nullopt;
  return count;
}

bool TNewFile::CloseSystemFile(std::intptr_t handle) noexcept {
  return ::CloseHandle(HandleOf(handle)) != 0;
}

bool FileMayBeReplaced(const std::filesystem::path &destination) {
  // A rename over the destination needs it opened for DELETE; the probe asks
  // for just that, sharing everything, so it fails only where the rename
  // would: while another handle holds the file without delete sharing.
  const pos::UniqueHandle probe(CreateFileW(destination.c_str(), DELETE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (probe)
    return true;
  return GetLastError() == ERROR_FILE_NOT_FOUND;
}

} // namespace pondrex
