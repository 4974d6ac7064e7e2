// The text of the disk-space section: two lines per logical drive whose
// space can be read, the drive's sizes and then the drive of the program.
#pragma once

#include "DiagnosticSink.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

struct DiskSpace {
  uint64_t freeToCaller = 0; // bytes the calling user may still use
  uint64_t total = 0;
  uint64_t totalFree = 0;
};

// What the disk section reads from the platform.
class IDiskSource {
public:
  virtual ~IDiskSource() = default;
  // The drive-string list as the platform fills it: each root ended by a
  // NUL, the list ended by an empty string. False with the error code when
  // it cannot be read.
  virtual bool LogicalDriveStrings(std::u16string &list, uint32_t &error) = 0;
  virtual bool FreeSpace(const std::u16string &root, DiskSpace &space, uint32_t &error) = 0;
  // The path of the program file.
  virtual bool ModulePath(std::u16string &path, uint32_t &error) = 0;
};

// The roots of a drive-string list, in order.
std::vector<std::u16string> SplitDriveStrings(std::u16string_view list);

// The drive of a program path: the path up to its first backslash, after a
// leading "\\?\" (any letter case). A network path gives an empty drive.
std::u16string ProgramDriveFromPath(std::u16string_view path);

// The two lines of one drive.
std::u16string DiskSpaceLines(std::u16string_view root, const DiskSpace &space,
                              std::u16string_view programDrive);

// The whole section. Without a drive list it is " " and a line goes to the
// wide error stream; a drive whose space cannot be read gets a line there
// instead of its lines in the text.
std::u16string DiskSpaceReportText(IDiskSource &source, DiagnosticSink &sink);

} // namespace tavrel
