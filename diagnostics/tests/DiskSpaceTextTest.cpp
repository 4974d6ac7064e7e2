#include "DiskSpaceText.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace tavrel;
using tavrel::test::RecordingSink;

constexpr uint64_t MB = 1u << 20;

class FakeDisks : public IDiskSource {
public:
  bool LogicalDriveStrings(std::u16string &list, uint32_t &error) override {
    list = driveList;
    error = listError;
    return listError == 0;
  }
  bool FreeSpace(const std::u16string &root, DiskSpace &space, uint32_t &error) override {
    const auto found = spaces.find(root);
    if (found == spaces.end()) {
      error = 21; // device not ready
      return false;
    }
    space = found->second;
    return true;
  }
  bool ModulePath(std::u16string &path, uint32_t &error) override {
    ++modulePathReads;
    path = modulePath;
    error = modulePathError;
    return modulePathError == 0;
  }

  std::u16string driveList;
  uint32_t listError = 0;
  std::map<std::u16string, DiskSpace> spaces;
  std::u16string modulePath = u"D:\\Tools\\Tavrel.exe";
  uint32_t modulePathError = 0;
  int modulePathReads = 0;
};

TEST(DiskSpaceReportText, TwoLinesPerReadableDriveWithTheProgramDriveAfterEach) {
  FakeDisks disks;
  disks.driveList = std::u16string(u"C:\\\0D:\\\0E:\\\0\0", 13);
  disks.spaces[u"C:\\"] = {MB * 3 / 2, 256 * MB - 1, 2 * MB};
  disks.spaces[u"D:\\"] = {0, uint64_t{4} << 40, MB};
  RecordingSink sink;
  EXPECT_EQ(DiskSpaceReportText(disks, sink),
            u"C:\\ - 总共空间: 255 MB, 空余空间: 2 MB, 可用空间: 1 MB\r\n"
            u"当前的次磁盘为：D:\r\n"
            u"D:\\ - 总共空间: 4194304 MB, 空余空间: 1 MB, 可用空间: 0 MB\r\n"
            u"当前的次磁盘为：D:\r\n");
  EXPECT_EQ(disks.modulePathReads, 2);
  EXPECT_EQ(sink.wide, (std::vector<std::u16string>{u"Failed to get disk space for E:\\: 21\r\n"}));
}

TEST(DiskSpaceReportText, NoDriveListGivesOneBlankAndAnErrorLine) {
  FakeDisks disks;
  disks.listError = 1;
  RecordingSink sink;
  EXPECT_EQ(DiskSpaceReportText(disks, sink), u" ");
  EXPECT_EQ(sink.wide, (std::vector<std::u16string>{u"Failed to retrieve drive list: 1\n"}));
}

TEST(DiskSpaceReportText, AnEmptyListGivesAnEmptyText) {
  FakeDisks disks;
  disks.driveList = std::u16string(u"\0", 1);
  RecordingSink sink;
  EXPECT_EQ(DiskSpaceReportText(disks, sink), u"");
  EXPECT_TRUE(sink.wide.empty());
}

TEST(DiskSpaceReportText, AnUnreadableProgramPathLeavesTheDriveEmpty) {
  FakeDisks disks;
  disks.driveList = std::u16string(u"C:\\\0\0", 5);
  disks.spaces[u"C:\\"] = {MB, MB, MB};
  disks.modulePathError = 122;
  RecordingSink sink;
  EXPECT_EQ(DiskSpaceReportText(disks, sink),
            u"C:\\ - 总共空间: 1 MB, 空余空间: 1 MB, 可用空间: 1 MB\r\n当前的次磁盘为：\r\n");
  EXPECT_EQ(sink.narrow, (std::vector<std::string>{"Failed to get module filename, error code: 122\n"}));
}

TEST(ProgramDriveFromPath, TakesThePathUpToItsFirstBackslash) {
  struct Case {
    std::u16string path;
    std::u16string drive;
  } const cases[] = {
      {u"D:\\Tools\\x.exe", u"D:"},
      {u"\\\\?\\D:\\Tools\\x.exe", u"D:"},
      {u"\\\\?\\c:\\x.exe", u"c:"},
      {u"\\\\server\\share\\x.exe", u""},
      {u"\\\\?\\UNC\\server\\share\\x.exe", u"UNC"},
      {u"x.exe", u"x.exe"},
      {u"", u""},
      {u"\\\\?", u""},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ProgramDriveFromPath(c.path), c.drive);
  }
}

TEST(SplitDriveStrings, RootsUpToTheEmptyString) {
  EXPECT_EQ(SplitDriveStrings(std::u16string(u"A:\\\0C:\\\0\0Z:\\\0", 14)),
            (std::vector<std::u16string>{u"A:\\", u"C:\\"}));
  EXPECT_EQ(SplitDriveStrings(u"C:\\"), (std::vector<std::u16string>{u"C:\\"}));
  EXPECT_TRUE(SplitDriveStrings(u"").empty());
}

} // namespace
