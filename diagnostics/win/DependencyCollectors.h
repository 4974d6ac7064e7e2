// The check of the system directory for the libraries of g_dependencyDlls.
#pragma once

#include <string>

namespace tavrel {

// The names of the system directory's "*.dll" files, each followed by a
// line feed, then those of its "*.drv" files. Empty when the system
// directory cannot be read.
std::u16string ListSystemDirectoryModules();

// The text of the missing-library section for the system directory.
std::u16string BuildMissingDependencyReport();

} // namespace tavrel
