#include "PluFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pondrex {
namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::u16string>;

Bytes Of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(PluFile, ByteOrderMarkSelectsTheEncoding) {
  struct TCase {
    const char *Name;
    Bytes File;
    std::u16string Text;
  };
  const std::vector<TCase> cases = {
      {"UTF-8", {0xEF, 0xBB, 0xBF, '1', '\t', 0xC3, 0xA9}, u"1\t\u00E9"},
      {"UTF-16LE", {0xFF, 0xFE, '1', 0x00, '\t', 0x00, 0x2C, 0x54}, u"1\t\u542C"},
      {"UTF-16BE", {0xFE, 0xFF, 0x00, '1', 0x00, '\t', 0x54, 0x2C}, u"1\t\u542C"},
      {"UTF-16 with a lone last byte", {0xFF, 0xFE, '1', 0x00, '2'}, u"1\uFFFD"},
      // No mark: the system code page (Windows-1252 in the native build).
      {"system code page", {'1', '\t', 0xE9, 0x80}, u"1\t\u00E9\u20AC"},
      {"empty", {}, u""},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(DecodePluText(c.File), c.Text) << c.Name;
}

TEST(PluFile, LinesEndAtCrLfCrOrLf) {
  EXPECT_EQ(SplitPluLines(u"a\r\nb\rc\nd"), (Lines{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(SplitPluLines(u"a\r\n"), (Lines{u"a"}));
  EXPECT_EQ(SplitPluLines(u"a\n\r\nb"), (Lines{u"a", u"", u"b"}));
  EXPECT_EQ(SplitPluLines(u"\r\r\n"), (Lines{u"", u""}));
  EXPECT_EQ(SplitPluLines(u""), Lines{});
}

TEST(PluFile, LinesGiveSlots) {
  EXPECT_EQ(ParsePluLines({u"12.5\tkg", u"3\txyz"}, u'.'), (std::vector<TPluSlot>{{0, 1250}, {0, 300}}));
  EXPECT_EQ(ParsePluLines({u"1\t500g", u"2\tG", u"3\t100G", u"4\t600g", u"5\tLb", u"6\tKG"}, u'.'),
            (std::vector<TPluSlot>{{1, 100}, {3, 200}, {5, 300}, {2, 400}, {4, 500}, {0, 600}}));
  // Unit texts are not trimmed; a text that names no unit keeps the code
  // before; the price is the text before the first TAB.
  EXPECT_EQ(ParsePluLines({u"1\tLB", u"2\t KG", u"3\tKG\tx", u"4\t"}, u'.'),
            (std::vector<TPluSlot>{{4, 100}, {4, 200}, {4, 300}, {4, 400}}));
  EXPECT_EQ(ParsePluLines({u" 12,5 \tKG", u"0,125\tKG", u"167772,15\tKG"}, u','),
            (std::vector<TPluSlot>{{0, 1250}, {0, 12}, {0, 16777215}}));
  EXPECT_EQ(ParsePluLines(Lines(70, u"1\tKG"), u'.').size(), 70u);
}

TEST(PluFile, LinesThatAreNoPluFail) {
  const std::vector<Lines> cases = {
      {u"12.5 KG"},       {u"1\tKG", u""}, {u"12,5\tKG"}, {u"abc\tKG"},        {u"-0.01\tKG"},
      {u"167772.16\tKG"}, {u"1e400\tKG"},  {u"nan\tKG"},  Lines(71, u"1\tKG"),
  };
  for (const Lines &lines : cases)
    EXPECT_THROW(ParsePluLines(lines, u'.'), EPluFileError) << lines.size();
}

TEST(PluFile, TableBecomesCrLfLinesInTheSystemCodePage) {
  const std::vector<TPluSlot> slots = {{7, 1}, {1, 1250}, {9, 300}, {3, 16777215}, {0, 0}, {5, 1234}};
  EXPECT_EQ(PluFileBytes(slots, u'.'),
            "0.01\t\r\n12.5\t500G\r\n3\t500G\r\n167772.15\tG\r\n0\tKG\r\n12.34\t100G\r\n");
  EXPECT_EQ(PluFileBytes({{2, 1250}}, u','), "12,5\t600G\r\n");
  // What is written reads back as the same table.
  const std::string text = PluFileBytes(slots, u'.');
  EXPECT_EQ(ParsePluLines(SplitPluLines(DecodePluText(Of(text))), u'.'),
            (std::vector<TPluSlot>{{0, 1}, {1, 1250}, {1, 300}, {3, 16777215}, {0, 0}, {5, 1234}}));
}

class PluFileOnDisk : public ::testing::Test {
protected:
  PluFileOnDisk() { std::filesystem::create_directories(folder); }
  ~PluFileOnDisk() override { std::filesystem::remove_all(folder); }

  static std::string Content(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  static void Write(const std::filesystem::path &path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // The names in the folder, sorted; a new file's unique part as "*".
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
      std::string name = entry.path().filename().string();
      if (name.size() == 21 && name.starts_with("plu.txt.") && name.ends_with(".~tmp"))
        name = "plu.txt.*.~tmp";
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("plu_file_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(PluFileOnDisk, ReadsTheFileAndFailsWhenThereIsNone) {
  Write(folder / "plu.txt", "\xEF\xBB\xBF"
                            "12.5\tKG\n3\tLB\n");
  EXPECT_EQ(ReadPluFile(folder / "plu.txt", u'.'), (std::vector<TPluSlot>{{0, 1250}, {4, 300}}));
  EXPECT_THROW(ReadPluFile(folder / "none.txt", u'.'), EPluFileError);
  EXPECT_THROW(ReadPluFile(folder, u'.'), EPluFileError);
}

TEST_F(PluFileOnDisk, ReplacingPutsTheWholeNewFileInPlaceOrLeavesTheOldOne) {
  const std::filesystem::path path = folder / "plu.txt";
  TPluFileReplacement(path).Commit("new\r\n");
  EXPECT_EQ(Content(path), "new\r\n");
  {
    TPluFileReplacement replacement(path);
    // The new file is beside the destination, under a name of its own.
    EXPECT_EQ(Names(), (std::vector<std::string>{"plu.txt", "plu.txt.*.~tmp"}));
    replacement.Commit("newer\r\n");
  }
  EXPECT_EQ(Content(path), "newer\r\n");
  // Without Commit the new file goes and the old one stays.
  { TPluFileReplacement abandoned(path); }
  EXPECT_EQ(Content(path), "newer\r\n");

  // Destinations that cannot be replaced fail when the replacement is made:
  // they stay, and nothing is left beside them.
  std::filesystem::create_directory(folder / "taken");
  EXPECT_THROW(TPluFileReplacement(folder / "taken"), EPluFileError);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "taken"));
  EXPECT_THROW(TPluFileReplacement(folder / "missing" / "plu.txt"), EPluFileError);
  EXPECT_EQ(Names(), (std::vector<std::string>{"plu.txt", "taken"}));
}

TEST_F(PluFileOnDisk, FilesOfTheHostBesideTheDestinationAreLeftAlone) {
  const std::filesystem::path path = folder / "plu.txt";
  Write(path, "old\r\n");
  // The name that the new file once had.
  Write(folder / "plu.txt.~tmp", "the host's\r\n");
  { TPluFileReplacement abandoned(path); }
  TPluFileReplacement(path).Commit("new\r\n");
  EXPECT_EQ(Content(path), "new\r\n");
  EXPECT_EQ(Content(folder / "plu.txt.~tmp"), "the host's\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"plu.txt", "plu.txt.~tmp"}));
}

TEST_F(PluFileOnDisk, RelativeDestinationStaysInTheFolderWhereItWasNamed) {
  const std::filesystem::path started = std::filesystem::current_path();
  std::filesystem::create_directory(folder / "other");
  std::filesystem::current_path(folder);
  {
    TPluFileReplacement replacement("plu.txt");
    EXPECT_TRUE(replacement.Path().is_absolute());
    EXPECT_TRUE(std::filesystem::equivalent(replacement.Path().parent_path(), folder));
    std::filesystem::current_path(folder / "other");
    replacement.Commit("new\r\n");
  }
  std::filesystem::current_path(started);
  EXPECT_EQ(Content(folder / "plu.txt"), "new\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"other", "plu.txt"}));
  EXPECT_TRUE(std::filesystem::is_empty(folder / "other"));
}

} // namespace
} // namespace pondrex
