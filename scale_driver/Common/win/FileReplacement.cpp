// The system's part in replacing a file, on Windows.
#include "FileReplacement.h"

#include "UniqueHandle.h"

#include <windows.h>

#include <algorithm>

namespace pondrex {

struct TNewFile::TOpenFile {
  pos::UniqueHandle Handle;
};

std::optional<TNewFile> TNewFile::OpenNew(std::filesystem::path path, bool &taken) {
  // CREATE_NEW never opens a file that exists; no sharing while the file is
  // being made.
  pos::UniqueHandle handle(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    const DWORD error = GetLastError();
    taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return std::nullopt;
  }
  auto file = std::make_unique<TOpenFile>();
  file->Handle = std::move(handle);
  return TNewFile(std::move(path), std::move(file));
}

TNewFile::TNewFile(std::filesystem::path path, std::unique_ptr<TOpenFile> file)
    : path_(std::move(path)), file_(std::move(file)) {}
TNewFile::TNewFile(TNewFile &&other) noexcept = default;
TNewFile &TNewFile::operator=(TNewFile &&other) noexcept = default;
TNewFile::~TNewFile() = default;

void TNewFile::Close() {
  file_.reset();
}

bool TNewFile::WriteAndClose(std::span<const uint8_t> bytes) {
  if (!file_)
    return false;
  bool written = true;
  while (written && !bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
    DWORD count = 0;
    written = WriteFile(file_->Handle.get(), bytes.data(), chunk, &count, nullptr) && count > 0;
    if (written)
      bytes = bytes.subspan(count);
  }
  const HANDLE handle = file_->Handle.release();
  file_.reset();
  return CloseHandle(handle) && written;
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
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND;
}

} // namespace pondrex
