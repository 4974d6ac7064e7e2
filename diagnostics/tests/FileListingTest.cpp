#include "FileListing.h"

#include "Fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace tavrel;
using tavrel::test::dir;
using tavrel::test::FakeFileSystem;
using tavrel::test::file;
using tavrel::test::RecordingSink;

TEST(ListCurrentDirectoryFiles, ListsFilesDepthFirstInTheOrderMet) {
  FakeFileSystem fs;
  fs.add(u"C:\\work\\*", {dir(u"."), dir(u".."), file(u"a.txt"), dir(u"lib"), dir(u"empty"), file(u".hidden"),
                          file(u"设备信息.dat")});
  fs.add(u"C:\\work\\lib\\*", {dir(u"."), dir(u".."), file(u"b.dll"), dir(u"x"), file(u"c.dll")});
  fs.add(u"C:\\work\\lib\\x\\*", {dir(u"."), dir(u".."), file(u"deep.bin")});
  fs.add(u"C:\\work\\empty\\*", {dir(u"."), dir(u"..")});
  RecordingSink sink;
  std::u16string out = u"kept";
  ListCurrentDirectoryFiles(fs, sink, {true, u"C:\\work", 0}, out);
  EXPECT_EQ(out, u"kept"
                 u" \\a.txt\r\n"
                 u" \\lib\\b.dll\r\n"
                 u" \\lib\\x\\deep.bin\r\n"
                 u" \\lib\\c.dll\r\n"
                 u" \\.hidden\r\n"
                 u" \\设备信息.dat\r\n");
  EXPECT_TRUE(sink.wide.empty());
}

TEST(ListCurrentDirectoryFiles, AnUnreadableDirectoryListsNothing) {
  FakeFileSystem fs;
  fs.add(u"\\*", {file(u"from-a-buffer-never-filled")});
  RecordingSink sink;
  std::u16string out;
  ListCurrentDirectoryFiles(fs, sink, {false, u"", 206}, out);
  EXPECT_EQ(out, u"");
  EXPECT_TRUE(fs.searched.empty());
  EXPECT_EQ(sink.wide, (std::vector<std::u16string>{u"GetCurrentDirectory failed. Error: 206\n"}));
}

TEST(WalkFilesRecursive, ADirectoryThatCannotBeSearchedIsSkippedAndTheWalkGoesOn) {
  FakeFileSystem fs;
  fs.add(u"R\\*", {dir(u"locked"), file(u"after.txt")});
  RecordingSink sink;
  std::u16string out;
  WalkFilesRecursive(fs, sink, u"R", u" ", out);
  EXPECT_EQ(out, u" \\after.txt\r\n");
  EXPECT_EQ(sink.wide, (std::vector<std::u16string>{u"FindFirstFile failed. Error: 3\n"}));
}

TEST(WalkFilesRecursive, AnErrorPartWayEndsThatDirectoryOnly) {
  FakeFileSystem fs;
  fs.add(u"R\\*", {dir(u"sub"), file(u"after.txt")});
  fs.add(u"R\\sub\\*", {file(u"one.txt")}, 59);
  RecordingSink sink;
  std::u16string out;
  WalkFilesRecursive(fs, sink, u"R", u" ", out);
  EXPECT_EQ(out, u" \\sub\\one.txt\r\n \\after.txt\r\n");
  EXPECT_EQ(sink.wide, (std::vector<std::u16string>{u"FindNextFile failed. Error: 59\n"}));
}

TEST(WalkFilesRecursive, AnEmptyPrefixListsBareNames) {
  FakeFileSystem fs;
  fs.add(u"R\\*", {file(u"a"), dir(u"d")});
  fs.add(u"R\\d\\*", {file(u"b")});
  RecordingSink sink;
  std::u16string out;
  WalkFilesRecursive(fs, sink, u"R", u"", out);
  EXPECT_EQ(out, u"a\r\nd\\b\r\n");
}

} // namespace
