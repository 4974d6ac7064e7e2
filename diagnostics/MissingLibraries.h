// The check for missing system libraries: a fixed list of 44 library names
// looked up in the listing of the system directory, once comparing names
// exactly and once ignoring letter case.
#pragma once

#include "DirectorySearch.h"

#include <string>
#include <vector>

namespace tavrel {

// The 44 names, in their fixed order; built before the program's entry
// runs and never changed.
extern const std::vector<std::u16string> g_dependencyDlls;

// Builds the list of names (the initialiser of g_dependencyDlls).
std::vector<std::u16string> InitDependencyDllList();

// A copy with the letters A to Z made lower case (towlower in the C
// runtime's "C" locale).
std::u16string ToLowerCopy(std::u16string text);

// The names of the files (not directories) that match "*.dll" in the
// directory, each followed by a line feed, then those that match "*.drv".
// A pattern whose search cannot start adds nothing.
std::u16string ModuleListing(IFileSystem &fileSystem, const std::u16string &systemDirectory);

// The section's text for a listing: the heading "缺失依赖文件", the names
// that no listed name contains as they are spelled, the heading
// "不区分大小写的检查的缺失依赖文件", and the names missing even when letter
// case is ignored; each line ends with CR LF.
std::u16string MissingDependencyText(const std::u16string &listing);

} // namespace tavrel
