#include "MissingLibraries.h"

namespace tavrel {

std::vector<std::u16string> InitDependencyDllList() {
  return {
      u"ADVAPI32.dll", u"COMCTL32.dll", u"CRYPT32.dll",  u"DSOUND.dll",       u"GDI32.dll",
      u"IPHLPAPI.DLL", u"KERNEL32.dll", u"MSVCP140.dll", u"MSWSOCK.dll",      u"OLEACC.dll",
      u"OLEAUT32.dll", u"POWRPROF.dll", u"PSAPI.DLL",    u"SETUPAPI.dll",     u"SHELL32.dll",
      u"SHLWAPI.dll",  u"Secur32.dll",  u"USER32.dll",   u"VCRUNTIME140.dll", u"VCRUNTIME140_1.dll",
      u"VERSION.dll",  u"WINHTTP.dll",  u"WINMM.dll",    u"WINSPOOL.DRV",     u"WS2_32.dll",
      u"WinSCard.dll", u"advapi32.dll", u"comctl32.dll", u"dbgeng.dll",       u"dwmapi.dll",
      u"gdi32.dll",    u"gdiplus.dll",  u"kernel32.dll", u"msi.dll",          u"msvcrt.dll",
      u"ncrypt.dll",   u"netapi32.dll", u"ntdll.dll",    u"ole32.dll",        u"oleaut32.dll",
      u"shell32.dll",  u"user32.dll",   u"version.dll",  u"winspool.drv",
  };
}

const std::vector<std::u16string> g_dependencyDlls = InitDependencyDllList();

std::u16string ToLowerCopy(std::u16string text) {
  for (char16_t &c : text) {
    if (c >= u'A' && c <= u'Z') {
      c = static_cast<char16_t>(c + (u'a' - u'A'));
    }
  }
  return text;
}

std::u16string ModuleListing(IFileSystem &fileSystem, const std::u16string &systemDirectory) {
  std::u16string listing;
  for (const char16_t *pattern : {u"\\*.dll", u"\\*.drv"}) {
    uint32_t error = 0;
    std::unique_ptr<IDirectorySearch> search = fileSystem.Search(systemDirectory + pattern, error);
    if (!search) {
      continue;
    }
    DirectoryEntry entry;
    while (search->Next(entry)) {
      if (!entry.isDirectory) {
        listing += entry.name;
        listing += u"\n";
      }
    }
  }
  return listing;
}

std::u16string MissingDependencyText(const std::u16string &listing) {
  std::u16string text = u"缺失依赖文件\r\n";
  for (const std::u16string &name : g_dependencyDlls) {
    if (listing.find(name) == std::u16string::npos) {
      text += name + u"\r\n";
    }
  }
  text += u"不区分大小写的检查的缺失依赖文件\r\n";
  const std::u16string lowerListing = ToLowerCopy(listing);
  for (const std::u16string &name : g_dependencyDlls) {
    if (lowerListing.find(ToLowerCopy(name)) == std::u16string::npos) {
      text += name + u"\r\n";
    }
  }
  return text;
}

} // namespace tavrel
