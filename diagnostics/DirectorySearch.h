// A directory search as the platform runs it (FindFirstFileW/FindNextFileW):
// the entries of one pattern, one at a time, in the order the file system
// returns them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tavrel {

// The code with which a search stops at the end of its entries.
inline constexpr uint32_t ErrorNoMoreFiles = 18;

struct DirectoryEntry {
  std::u16string name; // without a path
  bool isDirectory = false;
};

class IDirectorySearch {
public:
  virtual ~IDirectorySearch() = default;
  // The next entry (the first one on the first call); false at the end of
  // the entries or on an error.
  virtual bool Next(DirectoryEntry &entry) = 0;
  // Why Next returned false: ErrorNoMoreFiles at the end, another code on
  // an error.
  virtual uint32_t StopCode() const = 0;
};

class IFileSystem {
public:
  virtual ~IFileSystem() = default;
  // Starts a search for the pattern; null, with the reason in `error`, when
  // the search cannot start.
  virtual std::unique_ptr<IDirectorySearch> Search(const std::u16string &pattern, uint32_t &error) = 0;
};

} // namespace tavrel
