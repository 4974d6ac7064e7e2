// The system's part in replacing a file, on POSIX systems.
#include "FileReplacement.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pondrex {

struct TNewFile::TOpenFile {
  explicit TOpenFile(int descriptor) : Descriptor(descriptor) {}
  ~TOpenFile() {
    if (Descriptor >= 0)
      ::close(Descriptor);
  }
  TOpenFile(const TOpenFile &) = delete;
  TOpenFile &operator=(const TOpenFile &) = delete;
  int Descriptor;
};

std::optional<TNewFile> TNewFile::OpenNew(std::filesystem::path path, bool &taken) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    taken = errno == EEXIST;
    return std::nullopt;
  }
  return TNewFile(std::move(path), std::make_unique<TOpenFile>(descriptor));
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
    const ssize_t count = ::write(file_->Descriptor, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR)
      continue;
    written = count > 0;
    if (written)
      bytes = bytes.subspan(static_cast<size_t>(count));
  }
  const int descriptor = file_->Descriptor;
  file_->Descriptor = -1;
  file_.reset();
  return ::close(descriptor) == 0 && written;
}

bool FileMayBeReplaced(const std::filesystem::path &) {
  return true;
}

} // namespace pondrex
