// The image splitter: the two layouts, both checks and their flags, the
// lengths that do not fit the file, and the part files.
#include "TProgramd438.h"
#include "FileBytes.h"
#include "FirmwareImage.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

namespace pondrex::test {
namespace {

class Programd438 : public ::testing::Test {
protected:
  uint8_t Split(const Bytes &image) { return splitter.convert(0, static_cast<int32_t>(image.size()), image); }
  std::u16string Write(const Bytes &image, const char *name = "image.bin") {
    const std::filesystem::path path = folder / name;
    EXPECT_TRUE(WriteFileBytes(path, image));
    return path.u16string();
  }

  TScratchFolder folder;
  TProgramd438 splitter;
  const Bytes part8k = CheckedPart(9 * 1024, 0x11);
  const Bytes program = ProgramPart(40, 0x0203, 0x22);
};

TEST_F(Programd438, SplitsAfterTheHeaderAndFlagsEachPartThatFailsItsCheck) {
  const Bytes image = SplitImage(part8k, program);
  EXPECT_EQ(Split(image), TProgramd438::BothCheck);
  EXPECT_EQ(splitter.Stream8k(), part8k);
  EXPECT_EQ(splitter.Streamprogramme(), program);

  struct TCase {
    const char *name;
    size_t at; // a byte of the image to change
    uint8_t flags;
  };
  const size_t programAt = 256 + part8k.size();
  const std::vector<TCase> cases = {
      {"program byte of the region", programAt + 8192 + 100, 0x81},
      {"stored sum of the program part", programAt + program.size() - 1, 0x81},
      {"program byte before the region", programAt + 10, 0x80},
      {"8K byte of the region", 256 + 8192 + 5, 0x82},
      {"name byte", 3, 0x80},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.name);
    Bytes changed = image;
    changed[c.at] ^= 0x40;
    EXPECT_EQ(Split(changed), c.flags);
  }
}

TEST_F(Programd438, AnEightKPartOf8192BytesOrLessAlwaysChecks) {
  for (size_t size : {size_t{1}, size_t{4096}, size_t{8192}}) {
    SCOPED_TRACE(size);
    Bytes small(size, 0xFF);
    EXPECT_EQ(Split(SplitImage(small, program)), TProgramd438::BothCheck);
    EXPECT_EQ(splitter.Stream8k().size(), size);
  }
  // A region that runs past the end of its part fails it.
  Bytes cut = program;
  cut.resize(cut.size() - 256);
  EXPECT_EQ(Split(SplitImage(part8k, cut)), 0x81);
}

TEST_F(Programd438, Update8kInAnyCaseIsAllProgramAndANameWithAFurtherByteIsNot) {
  for (const char *name : {"UPDATE8K", "update8k", "UpDaTe8K"}) {
    SCOPED_TRACE(name);
    Bytes image = ProgramPart(60, 1, 0x33);
    std::fill_n(image.begin(), 16, 0);
    std::copy_n(name, 8, image.begin());
    // The region check sees the header too: restamp the sum.
    image = [&] {
      Bytes restamped = image;
      uint32_t sum = 0;
      for (size_t i = 8192; i < restamped.size() - 2; ++i)
        sum += restamped[i];
      restamped[restamped.size() - 2] = static_cast<uint8_t>(sum);
      restamped[restamped.size() - 1] = static_cast<uint8_t>(sum >> 8);
      return restamped;
    }();
    EXPECT_EQ(Split(image), TProgramd438::BothCheck);
    EXPECT_EQ(splitter.Streamprogramme(), image);
    EXPECT_TRUE(splitter.Stream8k().empty());
  }

  Bytes notUpdate = SplitImage(part8k, program, "UPDATE8K");
  notUpdate[8] = 'X';
  EXPECT_EQ(Split(notUpdate), TProgramd438::BothCheck);
  EXPECT_EQ(splitter.Stream8k(), part8k);
}

TEST_F(Programd438, Update8kAfterASplitLeavesNoEightKPart) {
  EXPECT_EQ(Split(SplitImage(part8k, program)), TProgramd438::BothCheck);
  Bytes update = ImageHeader("update8k", 0);
  update.resize(1000, 0x5A);
  EXPECT_EQ(Split(update), TProgramd438::BothCheck);
  EXPECT_TRUE(splitter.Stream8k().empty());
  EXPECT_EQ(splitter.Streamprogramme(), update);
}

TEST_F(Programd438, LengthsThatDoNotFitTheFile) {
  // L beyond the bytes after the header: a read error.
  Bytes tooLong = SplitImage(part8k, program);
  tooLong[18] = 0x00;
  tooLong[19] = 0x10;
  tooLong[20] = 0x00;
  tooLong[21] = 0x00;
  EXPECT_THROW(Split(tooLong), EProgramImageError);

  // A negative L (top bit set) is refused without reading anything.
  Bytes negative = SplitImage(part8k, program);
  negative[18] = 0xFF;
  negative[21] = 0x10;
  EXPECT_EQ(Split(SplitImage(part8k, program)), TProgramd438::BothCheck);
  EXPECT_EQ(Split(negative), 0x83);
  EXPECT_TRUE(splitter.Stream8k().empty());
  EXPECT_TRUE(splitter.Streamprogramme().empty());

  // An L of 0 copies the whole file as the 8K part; a program part of no
  // bytes does the same.
  Bytes zero = ImageHeader("P438", 0);
  zero.insert(zero.end(), program.begin(), program.end());
  EXPECT_EQ(Split(zero), 0x80 | 0x02);
  EXPECT_EQ(splitter.Stream8k(), zero);
  EXPECT_EQ(splitter.Streamprogramme(), program);

  Bytes nothingAfter = SplitImage(part8k, {});
  Split(nothingAfter);
  EXPECT_EQ(splitter.Streamprogramme(), nothingAfter);
}

TEST_F(Programd438, ExecuteReadsTheNamedFileAndRaisesWhenItCannot) {
  splitter.SetFileName(Write(SplitImage(part8k, program)));
  EXPECT_EQ(splitter.Execute(), TProgramd438::BothCheck);
  EXPECT_EQ(splitter.Streamprogramme(), program);

  splitter.SetFileName((folder / "missing.bin").u16string());
  EXPECT_THROW(splitter.Execute(), EProgramImageError);
  splitter.SetFileName(folder.Path().u16string());
  EXPECT_THROW(splitter.Execute(), EProgramImageError);
}

TEST_F(Programd438, PartFilesAreWrittenWholeAndAnEmptyPartWritesNothing) {
  const std::u16string prg = (folder / u"Prgfile.^tmp").u16string();
  const std::u16string k8 = (folder / u"8k.bin").u16string();
  splitter.SavePrgfile(prg);
  splitter.Save8kfile(k8);
  EXPECT_FALSE(std::filesystem::exists(prg));
  EXPECT_FALSE(std::filesystem::exists(k8));

  ASSERT_TRUE(WriteFileBytes(prg, Bytes(100000, 1)));
  Split(SplitImage(part8k, program));
  splitter.SavePrgfile(prg);
  splitter.Save8kfile(k8);
  EXPECT_EQ(ReadFileBytes(prg), program);
  EXPECT_EQ(ReadFileBytes(k8), part8k);

  EXPECT_THROW(splitter.SavePrgfile((folder / "missing" / "x").u16string()), EProgramImageError);
}

} // namespace
} // namespace pondrex::test
