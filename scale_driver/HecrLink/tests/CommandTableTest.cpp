#include "ScaleCommandTable.h"
#include "THecrCommandTable.h"

#include <gtest/gtest.h>

#include <string>

namespace pondrex {
namespace {

class ScaleTable : public ::testing::Test {
protected:
  ScaleTable() { LoadScaleCommandTable(table); }
  THecrCommandTable table;
};

TEST_F(ScaleTable, LoadedInIdOrderWithoutParameters) {
  const THecrCommandList &list = table.CmdList();
  ASSERT_EQ(list.Count(), 44);
  for (int32_t i = 0; i < 44; ++i) {
    const TccHecrCommand *entry = list.GetItems(i);
    const TScaleCommandRow &row = ScaleCommandTable[static_cast<size_t>(i)];
    EXPECT_EQ(entry->ID(), i + 1);
    EXPECT_EQ(entry->Caption(), row.Caption);
    EXPECT_EQ(entry->Command(), row.Code);
    EXPECT_EQ(entry->Command() & 0xFFFF, 0u);
    EXPECT_EQ(entry->Status(), row.Kind);
    EXPECT_FALSE(entry->Orflag());
    EXPECT_EQ(entry->Orvalue(), 0);
  }
  EXPECT_EQ(table.HecrCmd(), list.GetItems(43));
}

TEST_F(ScaleTable, CaptionsCodeUnitForCodeUnit) {
  struct Case {
    int32_t id;
    std::u16string units;
  };
  const Case cases[] = {
      {1, {0x8BBE, 0x7F6E, 0x901A, 0x8BAF, 0x6CE2, 0x7279, 0x7387}},
      {25, {0x4F7F, 0x7528, 0x0032, 0x002F, 0x0035, 0x91CF, 0x7A0B, 0x5B66, 0x4E60, 0x6EE1, 0x91CD}},
      {33, {0x8BBE, 0x7F6E, 0x673A, 0x5668, 0x53F7, 0x20, 0x20, 0x20, 0x20}},
      {35, {0x8BFB, 0x53D6, 0x6807, 0x7B7E, 0x79F0, 0x72B6, 0x6001, 0x20, 0x20, 0x20}},
      {36, {0x8BBE, 0x7F6E, 0x004F, 0x0050, 0x76D2, 0x6E29, 0x5EA6, 0x8865, 0x507F, 0x20, 0x20}},
      {41, {0x4E0A, 0x4F20, 0x0054, 0x0051, 0x0039, 0x79E4, 0x53F7}},
  };
  for (const Case &c : cases)
    EXPECT_EQ(table.GetHecrCommandFormID(c.id)->Caption(), c.units) << "ID " << c.id;

  const std::pair<int32_t, size_t> trailingBlanks[] = {{33, 4}, {34, 4}, {35, 3}, {36, 2}, {37, 2}, {32, 0}};
  for (const auto &[id, blanks] : trailingBlanks) {
    const std::u16string &caption = table.GetHecrCommandFormID(id)->Caption();
    const size_t kept = caption.find_last_not_of(u' ') + 1;
    EXPECT_EQ(caption.size() - kept, blanks) << "ID " << id;
  }
}

TEST_F(ScaleTable, LookupByIdAndCode) {
  EXPECT_EQ(table.GetHecrCommandFormID(45), nullptr);
  EXPECT_EQ(table.GetHecrCommandFormID(0), nullptr);
  EXPECT_EQ(table.HecrCmd()->ID(), 44); // left on the last entry looked at

  struct Case {
    uint32_t code;
    int32_t id; // 0: none
  };
  const Case cases[] = {{0x800E0000, 0}, {0x800D0005, 0}, {0x83000000, 8},  {0x8300ABCD, 8}, {0x90000000, 7},
                        {0x90000C00, 7}, {0x80040000, 5}, {0xA0030001, 42}, {0x900F0000, 44}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.code);
    const TccHecrCommand *entry = table.GetHecrCommand(c.code);
    if (c.id == 0) {
      EXPECT_EQ(entry, nullptr);
    } else {
      ASSERT_NE(entry, nullptr);
      EXPECT_EQ(entry->ID(), c.id);
      EXPECT_EQ(table.HecrCmd(), entry);
    }
  }
  // The list's own lookup compares all 32 bits.
  EXPECT_EQ(table.CmdList().index(0x90000000)->ID(), 7);
  EXPECT_EQ(table.CmdList().index(0x90000001), nullptr);
}

TEST_F(ScaleTable, LookupByCaptionTrimsBlanks) {
  EXPECT_EQ(table.GetHecrCommand(std::u16string_view(u"设置机器号"))->ID(), 33);
  EXPECT_EQ(table.GetHecrCommand(std::u16string_view(u"  断开连接 "))->ID(), 7);
  EXPECT_EQ(table.GetHecrCommand(std::u16string_view(u"读取op盒状态")), nullptr); // case-sensitive
  EXPECT_EQ(table.GetHecrCommand(std::u16string_view(u"断开")), nullptr);
}

TEST(CommandEntry, NewEntriesAndDisplayName) {
  THecrCommandList list;
  TccHecrCommand &first = list.Add();
  EXPECT_EQ(first.ID(), 1);
  EXPECT_EQ(first.Caption(), u"TccHecrCommand");
  list.Add();
  list.Clear();
  EXPECT_EQ(list.Add().ID(), 3); // sequence numbers are not reused

  struct Case {
    std::u16string caption;
    std::u16string shown;
  };
  const Case cases[] = {{u"    ", u"TccHecrCommand"}, {u"", u"TccHecrCommand"}, {u" 零重 ", u" 零重 "}};
  for (const Case &c : cases) {
    TccHecrCommand entry(0);
    entry.SetCaption(c.caption);
    EXPECT_EQ(entry.GetDisplayName(), c.shown);
  }
}

TEST_F(ScaleTable, AssigningAListCopiesEveryEntry) {
  TccHecrCommand *baud = table.GetHecrCommandFormID(1);
  baud->SetOrflag(true);
  baud->SetOrvalue(0x0C00);

  THecrCommandTable copy;
  copy.AddCommand(99, u"x", 1, THecrLinkStatus::ifQty);
  ASSERT_NE(copy.HecrCmd(), nullptr);
  copy.SetCmdList(table.CmdList());
  EXPECT_EQ(copy.HecrCmd(), nullptr); // its entry was freed
  ASSERT_EQ(copy.CmdList().Count(), 44);
  const TccHecrCommand *copied = copy.GetHecrCommandFormID(1);
  EXPECT_NE(copied, baud);
  EXPECT_TRUE(copied->Orflag());
  EXPECT_EQ(copied->Orvalue(), 0x0C00);
  EXPECT_EQ(copy.GetHecrCommandFormID(36)->Caption(), table.GetHecrCommandFormID(36)->Caption());

  table.SetCmdList(table.CmdList()); // onto itself: unchanged
  EXPECT_EQ(table.CmdList().Count(), 44);
  EXPECT_EQ(table.GetHecrCommandFormID(1), baud);

  EXPECT_TRUE(table.CmdList().SetItems(43, *copy.GetHecrCommandFormID(2)));
  EXPECT_EQ(table.CmdList().GetItems(43)->ID(), 2);
  EXPECT_FALSE(table.CmdList().SetItems(44, *baud));
  EXPECT_EQ(table.CmdList().GetItems(-1), nullptr);

  LoadScaleCommandTable(table); // reloading drops the parameters
  EXPECT_FALSE(table.GetHecrCommandFormID(1)->Orflag());
  EXPECT_EQ(table.CmdList().Count(), 44);
}

} // namespace
} // namespace pondrex
