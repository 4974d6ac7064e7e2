// The system's part in replacing a file, on POSIX systems.
#include "FileReplacement.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pondrex {

std::optional<TNewFile> TNewFile::OpenNew(std::filesystem::path path, bool &taken) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    taken = errno == EEXIST;
    return std::nullopt;
  }
  return TNewFile(std::move(path), descriptor);
}

std::optional<size_t> TNewFile::WriteSome(std::intptr_t handle, std::span<const uint8_t> bytes) {
  for (;;) {
    const ssize_t count = ::write(static_cast<int>(handle), bytes.data(), bytes.size());
    if (count >= 0)
      return static_cast<size_t>(count);
    if (errno != EINTR)
      return std::nullopt;
  }
}

bool TNewFile::CloseSystemFile(std::intptr_t handle) noexcept {
  return ::close(static_cast<int>(handle)) == 0;
}

bool FileMayBeReplaced(const std::filesystem::path &) {
  return true;
}

} // namespace pondrex
