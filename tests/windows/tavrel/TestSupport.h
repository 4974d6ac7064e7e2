// Helpers of the diagnostics tests under Wine: environment variables, the
// standard error stream, open handles, message boxes and scratch folders.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace tavrel::test {

// Sets an environment variable of the process for its lifetime (children
// inherit it), then removes it.
class ScopedVariable {
public:
  ScopedVariable(const wchar_t *name, const std::wstring &value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable &) = delete;
  ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
  std::wstring name_;
};

// Sends what the process writes to its standard error (the C runtime's
// descriptor 2, in text mode as the stream is by default) into a file until
// finish().
class StderrCapture {
public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture &) = delete;
  StderrCapture &operator=(const StderrCapture &) = delete;
  // Restores the stream and returns the bytes written meanwhile.
  std::string finish();

private:
  int saved_ = -1;
  std::wstring path_;
};

// The values of the process's open handles.
std::set<uintptr_t> OpenHandles();

// Answers every message box that the calling thread shows while it lives:
// records its caption, text and whether it carries an icon, and presses OK.
class MessageBoxWatcher {
public:
  struct Box {
    std::wstring caption;
    std::wstring text;
    bool hasIcon = false;
  };
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher &) = delete;
  MessageBoxWatcher &operator=(const MessageBoxWatcher &) = delete;
  std::vector<Box> boxes;

private:
  static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_ = nullptr;
  std::vector<HWND> seen_; // a box may be activated more than once
};

// A new empty folder under the temporary folder, removed with all it holds.
class ScratchFolder {
public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder &) = delete;
  ScratchFolder &operator=(const ScratchFolder &) = delete;
  const std::wstring &path() const { return path_; }

private:
  std::wstring path_;
};

std::string ReadBytes(const std::wstring &path);
void WriteBytes(const std::wstring &path, const std::string &bytes);
std::wstring Wide(const std::u16string &text);
std::u16string U16(const std::wstring &text);

} // namespace tavrel::test
