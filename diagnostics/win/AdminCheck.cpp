#include "AdminCheck.h"

#include <windows.h>

#include <shellapi.h>

#include <iostream>

namespace tavrel {

bool EnsureRunningAsAdmin() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators)) {
    std::cerr << "无法分配和初始化管理员 SID。错误代码: " << GetLastError() << std::endl;
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) {
    const DWORD error = GetLastError();
    std::cerr << "无法检查令牌成员身份。错误代码: " << error << std::endl;
    FreeSid(administrators);
    return false;
  }
  FreeSid(administrators);
  if (member) {
    std::wcout << L"程序以管理员权限运行。" << std::endl;
    return true;
  }

  std::wcout << L"程序未以管理员权限运行，尝试重新启动并请求管理员权限..." << std::endl;
  wchar_t ownPath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
  SHELLEXECUTEINFOW start{};
  start.cbSize = sizeof start;
  start.lpVerb = L"runas";
  start.lpFile = ownPath;
  start.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&start)) {
    return false;
  }
  std::cerr << "无法重新启动程序并请求管理员权限。错误代码: " << GetLastError() << std::endl;
  return true;
}

std::u16string MakePlaceholderText() {
  return u" ";
}

} // namespace tavrel
