#include "ReportFile.h"

#include "ReportLayout.h"
#include "UniqueHandle.h"
#include "WideText.h"

#include <windows.h>

#include <algorithm>

namespace tavrel {
namespace {

void WriteAll(HANDLE file, const std::string &bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return;
    }
    done += written;
  }
}

} // namespace

void WriteReportFile(const std::u16string &text, const std::u16string &path, bool append) {
  // Truncating happens only once the file is open, so a file that cannot be
  // opened keeps its content.
  UniqueHandle file(CreateFileW(WidePointer(path), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  if (!file) {
    MessageBoxW(nullptr, L"无法打开文件进行写入", L"错误", MB_OK | MB_ICONERROR);
    return;
  }
  WriteAll(file.get(), ReportFileBytes(text));
  file.reset();
  if (append) {
    MessageBoxW(nullptr, L"文件写入成功！", L"完成", MB_OK);
  }
}

} // namespace tavrel
