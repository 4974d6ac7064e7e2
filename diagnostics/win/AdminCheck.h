#pragma once
// Offered helpers that the program's own run does not call.
#include <string>

namespace tavrel {

// True when the process runs as a member of the Administrators group. When
// it does not, starts the program anew with the "runas" verb (asking for
// elevation) and returns false if that start succeeded; true if it failed,
// or false when the membership cannot be checked.
bool EnsureRunningAsAdmin();

// One blank: the placeholder of a collector that fails.
std::u16string MakePlaceholderText();

} // namespace tavrel
