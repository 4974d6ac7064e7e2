// The disk-space section and the listing of the working directory's files.
#pragma once

#include <string>

namespace tavrel {

// Size and free space of every logical drive, each followed by the line
// naming the program's drive; " " when the drives cannot be listed.
std::u16string BuildDiskSpaceReport();

// Appends a line for every file under the current working directory. A
// directory that cannot be read (or needs more than MAX_PATH characters)
// lists nothing and writes a line to the wide standard error stream.
void ListWorkingDirectoryFiles(std::u16string &output);

// Appends a line for every file under `directory`, each listed name made of
// `prefix`, "\" and the path below the directory.
void ListFilesRecursive(const std::u16string &directory, const std::u16string &prefix,
                        std::u16string &output);

} // namespace tavrel
