#include "MissingLibraries.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using namespace tavrel;
using tavrel::test::dir;
using tavrel::test::FakeFileSystem;
using tavrel::test::file;

const std::u16string CaseSensitiveHeading = u"缺失依赖文件\r\n";
const std::u16string CaseInsensitiveHeading = u"不区分大小写的检查的缺失依赖文件\r\n";

std::u16string lines(const std::vector<std::u16string> &names) {
  std::u16string text;
  for (const auto &name : names) {
    text += name + u"\r\n";
  }
  return text;
}

// A listing that holds every name of the list in lower case, except `absent`.
std::u16string lowerCaseSystem(const std::set<std::u16string> &absent = {}) {
  std::set<std::u16string> names;
  for (const auto &name : g_dependencyDlls) {
    if (!absent.count(ToLowerCopy(name))) {
      names.insert(ToLowerCopy(name));
    }
  }
  std::u16string listing;
  for (const auto &name : names) {
    listing += name + u"\n";
  }
  return listing;
}

std::vector<std::u16string> namesWithUpperCase(const std::set<std::u16string> &except = {}) {
  std::vector<std::u16string> names;
  for (const auto &name : g_dependencyDlls) {
    if (name != ToLowerCopy(name) && !except.count(name)) {
      names.push_back(name);
    }
  }
  return names;
}

TEST(DependencyList, HoldsFortyFourNamesNineOfThemTwiceInDifferentCase) {
  ASSERT_EQ(g_dependencyDlls.size(), 44u);
  EXPECT_EQ(g_dependencyDlls.front(), u"ADVAPI32.dll");
  EXPECT_EQ(g_dependencyDlls.back(), u"winspool.drv");
  std::set<std::u16string> folded;
  for (const auto &name : g_dependencyDlls) {
    folded.insert(ToLowerCopy(name));
  }
  EXPECT_EQ(folded.size(), 44u - 9u);
  EXPECT_TRUE(std::is_sorted(g_dependencyDlls.begin(), g_dependencyDlls.end()));
}

TEST(MissingDependencyText, LowerCaseSystemListsOnlyTheSpellingsThatDiffer) {
  EXPECT_EQ(MissingDependencyText(lowerCaseSystem()),
            CaseSensitiveHeading + lines(namesWithUpperCase()) + CaseInsensitiveHeading);
}

TEST(MissingDependencyText, MissingRuntimeLibrariesAreListedByBothPasses) {
  const std::vector<std::u16string> runtime = {u"MSVCP140.dll", u"VCRUNTIME140.dll", u"VCRUNTIME140_1.dll"};
  const std::u16string text =
      MissingDependencyText(lowerCaseSystem({u"msvcp140.dll", u"vcruntime140.dll", u"vcruntime140_1.dll"}));
  EXPECT_EQ(text,
            CaseSensitiveHeading + lines(namesWithUpperCase()) + CaseInsensitiveHeading + lines(runtime));
}

TEST(MissingDependencyText, ANameAtTheEndOfALongerFileNameCountsAsPresent) {
  const std::u16string listing = lowerCaseSystem({u"version.dll"}) + u"apiversion.dll\n";
  const std::u16string text = MissingDependencyText(listing);
  EXPECT_EQ(text, CaseSensitiveHeading + lines(namesWithUpperCase()) + CaseInsensitiveHeading);
}

TEST(MissingDependencyText, AnEmptyListingNamesAllFortyFourTwice) {
  EXPECT_EQ(MissingDependencyText(u""), CaseSensitiveHeading + lines(g_dependencyDlls) +
                                            CaseInsensitiveHeading + lines(g_dependencyDlls));
}

TEST(ModuleListing, ListsDllFilesThenDrvFilesWithoutDirectories) {
  FakeFileSystem fs;
  fs.add(u"C:\\sys\\*.dll", {file(u"kernel32.dll"), dir(u"fake.dll"), file(u"USER32.dll")});
  fs.add(u"C:\\sys\\*.drv", {file(u"winspool.drv")});
  EXPECT_EQ(ModuleListing(fs, u"C:\\sys"), u"kernel32.dll\nUSER32.dll\nwinspool.drv\n");
  EXPECT_EQ(fs.searched, (std::vector<std::u16string>{u"C:\\sys\\*.dll", u"C:\\sys\\*.drv"}));
}

TEST(ModuleListing, APatternThatCannotBeSearchedAddsNothing) {
  FakeFileSystem fs;
  fs.add(u"C:\\sys\\*.drv", {file(u"winspool.drv")});
  EXPECT_EQ(ModuleListing(fs, u"C:\\sys"), u"winspool.drv\n");
}

TEST(ToLowerCopy, LowersTheLettersAToZ) {
  EXPECT_EQ(ToLowerCopy(u"WINSPOOL.DRV Az@[`{ÄΣ"), u"winspool.drv az@[`{ÄΣ");
}

} // namespace
