// The system's part in replacing a file: a new file made beside it under a
// name that did not exist, and whether the file may be replaced now.
//
// A new file is created exclusively, so that no file of anyone else's is
// ever opened, written or removed through it; its name carries a unique
// part, and a name that is taken is passed over for another.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
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

  const std::filesystem::path &Path() const { return path_; }
  // Writes the bytes and closes the file; false when they could not all be
  // written or the file was closed already.
  bool WriteAndClose(std::span<const uint8_t> bytes);
  // Closes the file without writing more.
  void Close();

private:
  // The open file, as the system holds it.
  struct TOpenFile;

  TNewFile(std::filesystem::path path, std::unique_ptr<TOpenFile> file);
  // Creates the file at path exclusively; none when it cannot, with taken
  // set when the name was taken.
  static std::optional<TNewFile> OpenNew(std::filesystem::path path, bool &taken);

  std::filesystem::path path_;
  std::unique_ptr<TOpenFile> file_;
};

// Whether a file renamed over destination would replace it now, as far as
// anything but the folder decides: false on Windows while another handle
// holds the destination open without delete sharing (a host's own
// fopen(name, "rb"), say). True when there is no destination. Elsewhere a
// rename replaces an open file, and the folder's part is proved by making
// the new file there.
bool FileMayBeReplaced(const std::filesystem::path &destination);

} // namespace pondrex
