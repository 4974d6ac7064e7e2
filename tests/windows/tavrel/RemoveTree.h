// Removes a folder and everything in it, read-only entries too; what cannot
// be removed stays.
#pragma once

#include <string>

namespace tavrel::test {

void RemoveTree(const std::wstring &path);

} // namespace tavrel::test
