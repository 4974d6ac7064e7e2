// Test stand-ins for the platform side of the collectors: a sink that keeps
// the diagnostic lines, and a file system held in memory.
#pragma once

#include "DiagnosticSink.h"
#include "DirectorySearch.h"

#include <map>
#include <string>
#include <vector>

namespace tavrel::test {

class RecordingSink : public DiagnosticSink {
public:
  void WriteWide(std::u16string_view text) override { wide.emplace_back(text); }
  void WriteNarrow(std::string_view text) override { narrow.emplace_back(text); }
  std::vector<std::u16string> wide;
  std::vector<std::string> narrow;
};

// Directories keyed by their search pattern ("C:\dir\*"); each holds its
// entries in the order the search returns them, and either ends normally or
// stops with an error code after its entries. A pattern that is not known
// cannot be searched (error 3, path not found).
class FakeFileSystem : public IFileSystem {
public:
  struct Listing {
    std::vector<DirectoryEntry> entries;
    uint32_t stopCode = ErrorNoMoreFiles;
  };

  void add(const std::u16string &pattern, std::vector<DirectoryEntry> entries,
           uint32_t stopCode = ErrorNoMoreFiles) {
    listings_[pattern] = Listing{std::move(entries), stopCode};
  }

  std::unique_ptr<IDirectorySearch> Search(const std::u16string &pattern, uint32_t &error) override {
    searched.push_back(pattern);
    const auto found = listings_.find(pattern);
    if (found == listings_.end()) {
      error = 3;
      return nullptr;
    }
    return std::make_unique<Search_>(found->second);
  }

  std::vector<std::u16string> searched;

private:
  class Search_ : public IDirectorySearch {
  public:
    explicit Search_(const Listing &listing) : listing_(listing) {}
    bool Next(DirectoryEntry &entry) override {
      if (next_ >= listing_.entries.size()) {
        return false;
      }
      entry = listing_.entries[next_++];
      return true;
    }
    uint32_t StopCode() const override { return listing_.stopCode; }

  private:
    const Listing &listing_;
    size_t next_ = 0;
  };
  std::map<std::u16string, Listing> listings_;
};

inline DirectoryEntry file(const char16_t *name) {
  return {name, false};
}
inline DirectoryEntry dir(const char16_t *name) {
  return {name, true};
}

} // namespace tavrel::test
