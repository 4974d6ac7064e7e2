#include "FileListing.h"

namespace tavrel {

void WalkFilesRecursive(IFileSystem &fileSystem, DiagnosticSink &sink, const std::u16string &directory,
                        const std::u16string &prefix, std::u16string &output) {
  uint32_t error = 0;
  std::unique_ptr<IDirectorySearch> search = fileSystem.Search(directory + u"\\*", error);
  if (!search) {
    sink.WriteWide(u"FindFirstFile failed. Error: " + DecimalText(error) + u"\n");
    return;
  }
  DirectoryEntry entry;
  while (search->Next(entry)) {
    if (entry.name == u"." || entry.name == u"..") {
      continue;
    }
    const std::u16string path = directory + u"\\" + entry.name;
    const std::u16string listed = prefix.empty() ? entry.name : prefix + u"\\" + entry.name;
    if (entry.isDirectory) {
      WalkFilesRecursive(fileSystem, sink, path, listed, output);
    } else {
      output += listed;
      output += u"\r\n";
    }
  }
  if (search->StopCode() != ErrorNoMoreFiles) {
    sink.WriteWide(u"FindNextFile failed. Error: " + DecimalText(search->StopCode()) + u"\n");
  }
}

void ListCurrentDirectoryFiles(IFileSystem &fileSystem, DiagnosticSink &sink,
                               const CurrentDirectory &directory, std::u16string &output) {
  if (!directory.ok) {
    sink.WriteWide(u"GetCurrentDirectory failed. Error: " + DecimalText(directory.error) + u"\n");
    return;
  }
  WalkFilesRecursive(fileSystem, sink, directory.path, u" ", output);
}

} // namespace tavrel
