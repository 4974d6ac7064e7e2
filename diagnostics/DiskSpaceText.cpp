#include "DiskSpaceText.h"

namespace tavrel {
namespace {

std::u16string Megabytes(uint64_t bytes) {
  return DecimalText(bytes >> 20);
}

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) {
      return false;
    }
  }
  return true;
}

} // namespace

std::vector<std::u16string> SplitDriveStrings(std::u16string_view list) {
  std::vector<std::u16string> roots;
  size_t at = 0;
  while (at < list.size() && list[at] != u'\0') {
    size_t end = list.find(u'\0', at);
    if (end == std::u16string_view::npos) {
      end = list.size();
    }
    roots.emplace_back(list.substr(at, end - at));
    at = end + 1;
  }
  return roots;
}

std::u16string ProgramDriveFromPath(std::u16string_view path) {
  constexpr std::u16string_view LongPathPrefix = u"\\\\?\\";
  if (StartsWithIgnoringCase(path, LongPathPrefix)) {
    path.remove_prefix(LongPathPrefix.size());
  }
  return std::u16string(path.substr(0, path.find(u'\\')));
}

std::u16string DiskSpaceLines(std::u16string_view root, const DiskSpace &space,
                              std::u16string_view programDrive) {
  std::u16string lines(root);
  lines += u" - 总共空间: ";
  lines += Megabytes(space.total);
  lines += u" MB, 空余空间: ";
  lines += Megabytes(space.totalFree);
  lines += u" MB, 可用空间: ";
  lines += Megabytes(space.freeToCaller);
  lines += u" MB\r\n当前的次磁盘为：";
  lines += programDrive;
  lines += u"\r\n";
  return lines;
}

std::u16string DiskSpaceReportText(IDiskSource &source, DiagnosticSink &sink) {
  std::u16string list;
  uint32_t error = 0;
  if (!source.LogicalDriveStrings(list, error)) {
    sink.WriteWide(u"Failed to retrieve drive list: " + DecimalText(error) + u"\n");
    return u" ";
  }
  std::u16string text;
  for (const std::u16string &root : SplitDriveStrings(list)) {
    DiskSpace space;
    if (!source.FreeSpace(root, space, error)) {
      sink.WriteWide(u"Failed to get disk space for " + root + u": " + DecimalText(error) + u"\r\n");
      continue;
    }
    // The program's drive is read anew for every drive line.
    std::u16string path;
    uint32_t pathError = 0;
    std::u16string drive;
    if (source.ModulePath(path, pathError)) {
      drive = ProgramDriveFromPath(path);
    } else {
      sink.WriteNarrow("Failed to get module filename, error code: " + std::to_string(pathError) + "\n");
    }
    text += DiskSpaceLines(root, space, drive);
  }
  return text;
}

} // namespace tavrel
