// Writes the report to its file as UTF-8.
#pragma once

#include <string>

namespace tavrel {

// Replaces the file's content with the text as UTF-8 without a byte-order
// mark, up to the first NUL character (with `append`, adds it at the end
// and then shows "文件写入成功！"). A file that cannot be opened is left as
// it was, and the error box "无法打开文件进行写入" is shown; the caller goes
// on as after a write. Errors while writing are not reported.
void WriteReportFile(const std::u16string &text, const std::u16string &path, bool append);

} // namespace tavrel
