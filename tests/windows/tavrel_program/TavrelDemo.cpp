// The demonstration of Tavrel.exe: the shipped program in a prepared working
// directory against the stand-ins (powershell.exe, the point-of-sale
// application, the probe hosts on 127.0.0.1). Prints each step and the
// report file, saves a screenshot of the window as a BMP file, closes the
// window and reports the exit code.
// Usage: tavrel_demo <Tavrel.exe> <screenshot.bmp>
#include <winsock2.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TavrelSession.h"

namespace tavrel::test {
namespace {

void Print(const std::string &text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Utf8(const std::u16string &text) {
  const std::wstring wide = Wide(text);
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size, nullptr,
                      nullptr);
  return bytes;
}

// The screen's pixels under the window, as a 24-bit bottom-up BMP file.
bool SaveScreenshot(HWND window, const std::wstring &path) {
  RECT area{};
  GetWindowRect(window, &area);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
  const int rows =
      GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) {
    return false;
  }

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42; // "BM"
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE out =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(out, &file, sizeof file, &written, nullptr) &&
            WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
            WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  CloseHandle(out);
  return ok;
}

int RunDemo(const std::wstring &screenshot) {
  ProbeServers servers;
  if (!servers.Listening()) {
    Print("a probe port is taken\n");
    return 1;
  }
  TavrelSession session(L"demo");
  if (!session.Prepared()) {
    Print("the working directory could not be prepared\n");
    return 1;
  }
  Print("== Tavrel.exe in " + Utf8(U16(session.Directory().Path())) +
        " (stand-in powershell.exe, BrisqoMenuvia.exe running, probe hosts on 127.0.0.1)\n");
  std::unique_ptr<ChildProcess> tavrel = session.StartTavrel();
  if (!tavrel->Started()) {
    Print("Tavrel.exe did not start\n");
    return 1;
  }
  TavrelWindows windows(tavrel->Id());
  if (WaitFor([&] { return windows.EditControl() != nullptr; })) {
    Print("window shown; the edit control reads: " + Utf8(WindowText(windows.EditControl()).value_or(u"")) +
          "\n");
  }
  std::optional<MessageBoxSeen> done;
  if (!WaitFor([&] { return (done = windows.MessageBox()).has_value(); })) {
    Print("no completion box\n");
    return 1;
  }
  Print("message box \"" + Utf8(done->caption) + "\": " + Utf8(done->text) + "\n");
  const std::string report = ReadFileBytes(session.ReportPath()).value_or("");
  const bool same = WindowText(windows.EditControl()) == FromUtf8(report);
  Print(std::string("the window shows ") +
        (same ? "exactly the report file's text" : "ANOTHER TEXT than the file") + "\n== 设备信息.dat (" +
        std::to_string(report.size()) + " bytes, UTF-8):\n" + report + "\n== end of file\n");
  TavrelWindows::Dismiss(*done);
  Print("completion box closed\n");
  const bool saved = SaveScreenshot(windows.MainWindow(), screenshot);
  Print(saved ? "screenshot of the window saved\n" : "the screenshot could not be saved\n");
  PostMessageW(windows.MainWindow(), WM_CLOSE, 0, 0);
  const std::optional<DWORD> code = tavrel->WaitForExit();
  Print("window closed; Tavrel.exe exit code " +
        (code ? std::to_string(*code) : std::string("(still running)")) +
        "\n== what Tavrel.exe wrote to its standard output and error:\n" +
        ReadFileBytes(session.OutputPath()).value_or("") + "== end\n");
  const bool passed = same && saved && code == std::optional<DWORD>(0);
  Print(passed ? "Tavrel demonstration: passed\n" : "Tavrel demonstration: FAILED\n");
  return passed ? 0 : 1;
}

} // namespace
} // namespace tavrel::test

int wmain(int argc, wchar_t **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: tavrel_demo <Tavrel.exe> <screenshot.bmp>\n");
    return 2;
  }
  tavrel::test::g_tavrelPath = argv[1];
  return tavrel::test::RunDemo(argv[2]);
}
