// The listing of section 3: one line per file under a directory, depth
// first, each line a blank, a backslash and the file's path relative to the
// listed directory.
#pragma once

#include "DiagnosticSink.h"
#include "DirectorySearch.h"

#include <cstdint>
#include <string>

namespace tavrel {

// Appends a line for every file under `directory`, in the order the search
// returns the entries; a subdirectory's files come where the subdirectory is
// met. `prefix` starts every listed name ("\" and the name follow it when it
// is not empty). Directories get no line of their own. A directory that
// cannot be searched, or whose search fails part-way, writes a line to the
// wide error stream and the walk goes on in its parent.
void WalkFilesRecursive(IFileSystem &fileSystem, DiagnosticSink &sink, const std::u16string &directory,
                        const std::u16string &prefix, std::u16string &output);

// The current working directory as the platform gave it, or why it could
// not be read.
struct CurrentDirectory {
  bool ok = false;
  std::u16string path;
  uint32_t error = 0;
};

// Lists the current working directory with the prefix " ". A directory that
// could not be read lists nothing and writes a line to the wide error stream.
void ListCurrentDirectoryFiles(IFileSystem &fileSystem, DiagnosticSink &sink,
                               const CurrentDirectory &directory, std::u16string &output);

} // namespace tavrel
