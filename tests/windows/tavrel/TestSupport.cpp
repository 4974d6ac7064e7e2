#include "TestSupport.h"

#include "RemoveTree.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace tavrel::test {
namespace {

thread_local MessageBoxWatcher *activeWatcher = nullptr;

std::wstring tempPath(const wchar_t *prefix) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  wchar_t name[MAX_PATH] = {};
  GetTempFileNameW(folder, prefix, 0, name);
  return name;
}

} // namespace

ScopedVariable::ScopedVariable(const wchar_t *name, const std::wstring &value) : name_(name) {
  SetEnvironmentVariableW(name, value.c_str());
}

ScopedVariable::~ScopedVariable() {
  SetEnvironmentVariableW(name_.c_str(), nullptr);
}

StderrCapture::StderrCapture() : path_(tempPath(L"err")) {
  std::cerr.flush();
  std::wcerr.flush();
  std::fflush(stderr);
  saved_ = _dup(2);
  const int file = _wopen(path_.c_str(), _O_WRONLY | _O_TRUNC | _O_TEXT);
  _dup2(file, 2);
  _close(file);
}

StderrCapture::~StderrCapture() {
  finish();
  DeleteFileW(path_.c_str());
}

std::string StderrCapture::finish() {
  if (saved_ < 0) {
    return ReadBytes(path_);
  }
  std::cerr.flush();
  std::wcerr.flush();
  std::fflush(stderr);
  _dup2(saved_, 2);
  _close(saved_);
  saved_ = -1;
  return ReadBytes(path_);
}

std::set<uintptr_t> OpenHandles() {
  std::set<uintptr_t> open;
  for (uintptr_t value = 4; value < 0x4000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      open.insert(value);
    }
  }
  return open;
}

MessageBoxWatcher::MessageBoxWatcher() {
  activeWatcher = this;
  hook_ = SetWindowsHookExW(WH_CBT, hook, nullptr, GetCurrentThreadId());
}

MessageBoxWatcher::~MessageBoxWatcher() {
  if (hook_ != nullptr) {
    UnhookWindowsHookEx(hook_);
  }
  activeWatcher = nullptr;
}

LRESULT CALLBACK MessageBoxWatcher::hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && activeWatcher != nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    std::vector<HWND> &seen = activeWatcher->seen_;
    if (std::wstring(className) == L"#32770" && std::find(seen.begin(), seen.end(), window) == seen.end()) {
      seen.push_back(window);
      // The box has its texts and icon by the time it is activated (it is
      // not visible yet); 0xFFFF and 0x0440 are its text and icon controls.
      Box box;
      wchar_t text[512] = {};
      GetWindowTextW(window, text, 512);
      box.caption = text;
      GetDlgItemTextW(window, 0xFFFF, text, 512);
      box.text = text;
      HWND icon = GetDlgItem(window, 0x0440);
      box.hasIcon = icon != nullptr && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
      activeWatcher->boxes.push_back(box);
      PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

ScratchFolder::ScratchFolder() : path_(tempPath(L"tav")) {
  DeleteFileW(path_.c_str());
  CreateDirectoryW(path_.c_str(), nullptr);
}

// The long-path form, so that folders deeper than MAX_PATH go too.
ScratchFolder::~ScratchFolder() {
  RemoveTree(L"\\\\?\\" + path_);
}

std::string ReadBytes(const std::wstring &path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return bytes;
  }
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read != 0) {
    bytes.append(buffer, read);
  }
  CloseHandle(file);
  return bytes;
}

void WriteBytes(const std::wstring &path, const std::string &bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring Wide(const std::u16string &text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string U16(const std::wstring &text) {
  return std::u16string(text.begin(), text.end());
}

} // namespace tavrel::test
