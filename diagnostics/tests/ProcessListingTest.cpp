#include "ProcessListing.h"

#include <gtest/gtest.h>

namespace {

using namespace tavrel;

const std::vector<ProcessEntry> Snapshot = {
    {u"System", 4},
    {u"BrisqoMenuvia.exe", 1200},
    {u"explorer.exe", 88},
    {u"BRISQOMENUVIA.EXE", 4294967295u},
    {u"OldBrisqoMenuvia.exe", 7},
    {u"BrisqoMenuvia.exe.bak", 8},
};

TEST(ProcessLinesByName, ListsEveryWholeNameMatchIgnoringCaseInSnapshotOrder) {
  EXPECT_EQ(ProcessLinesByName(Snapshot, u"brisqomenuvia.exe"),
            u"Process Name: BrisqoMenuvia.exe, PID: 1200\r\n"
            u"Process Name: BRISQOMENUVIA.EXE, PID: 4294967295\r\n");
  EXPECT_EQ(ProcessLinesByName(Snapshot, u"Menuvia.exe"), u"");
  EXPECT_EQ(ProcessLinesByName({}, u"BrisqoMenuvia.exe"), u"");
}

TEST(ProcessLinesForAll, ListsEveryEntry) {
  EXPECT_EQ(ProcessLinesForAll({{u"System", 4}, {u"a.exe", 0}}),
            u"Process Name: System, PID: 4\r\nProcess Name: a.exe, PID: 0\r\n");
  EXPECT_EQ(ProcessLinesForAll({}), u"");
}

TEST(ProcessNameMatches, FoldsOnlyTheLettersAToZ) {
  EXPECT_TRUE(ProcessNameMatches(u"A-Z.EXE", u"a-z.exe"));
  EXPECT_FALSE(ProcessNameMatches(u"[.exe", u"{.exe")); // '[' and '{' differ by the same 32
  EXPECT_FALSE(ProcessNameMatches(u"a.exe", u"a.ex"));
}

} // namespace
