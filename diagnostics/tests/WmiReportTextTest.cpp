#include "WmiReportText.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrel {
namespace {

const std::u16string Separator =
    std::u16string(21, u'-') + u" 打印机分隔线" + std::u16string(39, u'-') + u"\n";

std::u16string Blanks(std::size_t n) {
  return std::u16string(n, u' ');
}

TEST(PrinterBlock, LabelsValuesAndTheLineFeedOnlySeparator) {
  PrinterProperties printer;
  printer.name = u"Kitchen";
  printer.deviceId = u"KIT-1";
  printer.portName = u"USB001";
  printer.isDefault = true;
  printer.printerState = 1024u;
  printer.printerStatus = 3u;
  printer.extendedPrinterStatus = 131072u;
  std::u16string out = u"before";
  AppendPrinterBlock(out, printer);
  EXPECT_EQ(out, u"before" + Separator +                            //
                     u"打印机名称:" + Blanks(12) + u"Kitchen\r\n" + //
                     u"Device ID:" + Blanks(11) + u"KIT-1\r\n" +    //
                     u"端口名称:" + Blanks(14) + u"USB001\r\n" +    //
                     u"Default:" + Blanks(13) + u"Yes\r\n" +        //
                     u"简略状态:" + Blanks(14) + u"1024\r\n" +      //
                     u"详细状态:" + Blanks(14) + u"3\r\n" +         //
                     u"扩展状态:" + Blanks(14) + u"131072\r\n");
}

// Values that are null, of another kind than expected or empty print nothing
// after their label; a number arriving with its sign bit set is still the
// unsigned property value.
TEST(PrinterBlock, NullEmptyAndForeignValues) {
  PrinterProperties printer;
  printer.name = std::u16string();   // empty text
  printer.deviceId = 5u;             // a number where a text belongs
  printer.portName = WmiValue{};     // null
  printer.isDefault = u"true";       // a text where a boolean belongs
  printer.printerState = WmiValue{}; // null number
  printer.printerStatus = u"3";      // a text where a number belongs
  printer.extendedPrinterStatus = 0xFFFFFFFFu;
  std::u16string out;
  AppendPrinterBlock(out, printer);
  EXPECT_EQ(out, Separator + u"打印机名称:" + Blanks(12) + u"\r\n" + u"Device ID:" + Blanks(11) + u"\r\n" +
                     u"端口名称:" + Blanks(14) + u"\r\n" + u"Default:" + Blanks(13) + u"No\r\n" +
                     u"简略状态:" + Blanks(14) + u"\r\n" + u"详细状态:" + Blanks(14) + u"\r\n" +
                     u"扩展状态:" + Blanks(14) + u"4294967295\r\n");
}

TEST(PrinterBlock, TwoPrintersFollowEachOtherWithoutAClosingLine) {
  PrinterProperties printer;
  printer.isDefault = false;
  std::u16string one;
  AppendPrinterBlock(one, printer);
  std::u16string two = one;
  AppendPrinterBlock(two, printer);
  EXPECT_EQ(two, one + one);
  EXPECT_EQ(one.rfind(Separator), 0u);
}

TEST(PrintJobRow, WidthsOfEmptyFieldsAndClosingsOfFilledOnes) {
  const WmiValue none;
  const struct {
    const char *name;
    PrintJobProperties job;
    std::u16string row;
  } cases[] = {
      {"all empty",
       {none, none, none, none},
       Blanks(4) + u";" + Blanks(10) + u";" + Blanks(4) + u";" + Blanks(22) + u"\r\n"},
      {"document only",
       {u"Receipt 17", none, none, none},
       u"Receipt 17  ;" + Blanks(10) + u";" + Blanks(4) + u";" + Blanks(22) + u"\r\n"},
      {"all filled",
       {u"Receipt 17", u"Printing", u"POS-80", u"OK"},
       u"Receipt 17  ;Printing;POS-80  ;OK  ;\r\n"},
      {"empty texts and foreign kinds count as empty",
       {std::u16string(), 7u, true, std::u16string()},
       Blanks(4) + u";" + Blanks(10) + u";" + Blanks(4) + u";" + Blanks(22) + u"\r\n"},
      {"status only",
       {none, none, none, u"Error"},
       Blanks(4) + u";" + Blanks(10) + u";" + Blanks(4) + u";Error  ;\r\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string out = u"x";
    AppendPrintJobRow(out, c.job);
    EXPECT_EQ(out, u"x" + c.row);
  }
}

TEST(VideoControllerBlock, LabelsAndMemoryInWholeMegabytes) {
  VideoControllerProperties controller{u"Stand-in GPU", u"1.2.3", u"Display adapter", 0xFFFFFFFFu};
  std::u16string out = VideoControllerPrefix;
  AppendVideoControllerBlock(out, controller);
  EXPECT_EQ(out, u"GPUVideo Controller Name: Stand-in GPU\r\n"
                 u"Driver Version:         1.2.3\r\n"
                 u"Description:            Display adapter\r\n"
                 u"Adapter RAM:            4095 MB\r\n");

  VideoControllerProperties unknown{WmiValue{}, WmiValue{}, WmiValue{}, WmiValue{}};
  std::u16string blank;
  AppendVideoControllerBlock(blank, unknown);
  EXPECT_EQ(blank, u"Video Controller Name: \r\nDriver Version:         \r\nDescription:            \r\n"
                   u"Adapter RAM:             MB\r\n");
}

} // namespace
} // namespace tavrel
