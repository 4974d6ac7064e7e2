// The system's part in replacing a file: a new file made beside it under a
// name that did not exist, and whether the file may be replaced now.
//
// A new file is created exclusively, so that no file of anyone else's is
// ever opened, written or removed through it; its name carries a unique
// part, and a name that is taken is passed over for another.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace pondrex {

class TNewFile {
public:
  // Makes a new, empty file in folder named prefix, 8 hex digits and suffix,
  // open for writing; none when no file can be made there (the folder does
  // not exist or cannot be written, the system refuses the name).
  static std::optional<TNewFile> Create(const std::filesystem::path &folder, const std::u16string &prefix,
                                        const std::u16string &suffix);

  TNewFile(TNewFile &&other) noexcept;
  TNewFile &operator=(TNewFile &&other) noexcept;
  // Closes the file if it is still open; the file stays.
  ~TNewFile();
  TNewFile(const TNewFile &) = delete;
  TNewFile &operator=(const TNewFile &) = delete;

  const std::filesystem::path &Path() const { return path_; }
  // Writes the bytes and closes the file; false when they could not all be
  // written or the file was closed already.
  bool WriteAndClose(std::span<const uint8_t> bytes);
  // Closes the file without writing more.
  void Close() noexcept;

private:
  // The system's handle of the open file (a file descriptor, a Win32
  // HANDLE), held as a number; NoHandle once closed.
  static constexpr std::intptr_t NoHandle = -1;

  TNewFile(std::filesystem::path path, std::intptr_t handle) noexcept;

  // The system's part: creates the file at path exclusively (none when it
  // cannot, with taken set when the name was taken), writes some of the
  // bytes (how many; none on failure), closes the handle (false when the
  // system reports a failure).
  static std::optional<TNewFile> OpenNew(std::filesystem::path path, bool &taken);
  static std::optional<size_t> WriteSome(std::intptr_t handle, std::span<const uint8_t> bytes);
  static bool CloseSystemFile(std::intptr_t handle) noexcept;

  std::filesystem::path path_;
  std::intptr_t handle_ = NoHandle;
};

// Whether a file renamed over destination would replace it now, as far as
// anything but the folder decides: false on Windows while another handle
// holds the destination open without delete sharing (a host's own
// fopen(name, "rb"), say). True when there is no destination. Elsewhere a
// rename replaces an open file, and the folder's part is proved by making
// the new file there.
bool FileMayBeReplaced(const std::filesystem::path &destination);

} // namespace pondrex
