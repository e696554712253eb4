// BlobToFile and FileToBlob, and the file names both take: what is written or read, the
// results of every failure, the block's lock state, and no file left open on any path.
#include <gtest/gtest.h>

#include <string>

#include "package/block_files.h"
#include "package/file_name.h"
#include "package/files_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace {

using files_test::BlockOf;
using files_test::BytesOf;
using files_test::CountingFiles;
using files_test::Exists;
using files_test::OwnedText;
using files_test::ReadWhole;
using files_test::ScratchDir;
using files_test::WriteWhole;
using nimbus::BlobToFile;
using nimbus::FileNameOf;
using nimbus::FileToBlob;

constexpr int32_t kFileNotFound = 2;
constexpr int32_t kNoSpace = 28;
constexpr int8_t kLockedBit = int8_t(0x80);

const std::string kStart = "\xFF\xD8";
const std::string kEnd = "\xFF\xD9";

class BlockFilesTest : public testing::Test {
 protected:
  void SetUp() override { handlesBefore = TBTest_LiveHandles(); }
  void TearDown() override {
    EXPECT_EQ(files.stillOpen(), 0) << "a file was left open";
    EXPECT_EQ(TBTest_LiveHandles(), handlesBefore) << "a block was leaked";
    EXPECT_EQ(TBTest_UnknownBlockUses(), 0);
    TBTest_SetAllocationBudget(-1);
  }

  // Writes the bytes as a block into dir/name; answers BlobToFile's status.
  int32_t Store(const std::string& bytes, const std::string& name = "out") {
    Handle block = BlockOf(bytes);
    OwnedText path(dir / name);
    const int32_t status = BlobToFile(block, *path);
    DisposeHandle(block);
    return status;
  }

  // Reads dir/name (or the path as given) into a block; its bytes, or "<null>".
  std::string Load(const std::string& path) {
    OwnedText name(path);
    Handle block = FileToBlob(*name);
    if (block == nullptr) return "<null>";
    EXPECT_EQ(HGetState(block) & kLockedBit, 0) << "the new block is handed over unlocked";
    const std::string bytes = BytesOf(block);
    DisposeHandle(block);
    return bytes;
  }

  ScratchDir dir;
  CountingFiles files;
  int32_t handlesBefore = 0;
};

TEST_F(BlockFilesTest, FileNamesAreTheTextsCharactersUpTo254) {
  OwnedText plain("C:\\4D\\data.txt");
  EXPECT_STREQ(FileNameOf(*plain).path, "C:\\4D\\data.txt");
  OwnedText longest(std::string(254, 'a'));
  EXPECT_EQ(std::string(FileNameOf(*longest).path), std::string(254, 'a'));
  OwnedText prefix("name.txt and more", 8);
  EXPECT_STREQ(FileNameOf(*prefix).path, "name.txt");
  OwnedText macRoman("caf\x8E\xA5");  // characters are used as they are
  EXPECT_STREQ(FileNameOf(*macRoman).path, "caf\x8E\xA5");
}

TEST_F(BlockFilesTest, FileNamesThatCannotBeTakenAreEmpty) {
  OwnedText tooLong(std::string(255, 'a'));
  OwnedText wayTooLong(std::string(1000, 'a'));
  OwnedText negative("abc", -3);
  OwnedText pastTheBlock("abc", 10);
  OwnedText withZero(std::string("a\0b", 3));
  OwnedText empty("");
  FourDText nullHandle{5, nullptr};
  for (FourDText* text :
       {&*tooLong, &*wayTooLong, &*negative, &*pastTheBlock, &*withZero, &*empty, &nullHandle}) {
    EXPECT_STREQ(FileNameOf(*text).path, "");
  }
}

TEST_F(BlockFilesTest, ABlockWithoutAnImageIsWrittenWhole) {
  const std::string bytes = files_test::WithoutMarkers(files_test::PatternBytes(5000));
  ASSERT_EQ(Store(bytes), 0);
  EXPECT_EQ(ReadWhole(dir / "out"), bytes);
  // Only a start marker, at offset 0: not an image, so everything goes.
  const std::string startOnly = kStart + "rest of the block" + kEnd;
  ASSERT_EQ(Store(startOnly), 0);
  EXPECT_EQ(ReadWhole(dir / "out"), startOnly);
  ASSERT_EQ(Store(""), 0);
  EXPECT_TRUE(Exists(dir / "out"));
  EXPECT_EQ(ReadWhole(dir / "out"), "");
}

TEST_F(BlockFilesTest, AJpegInsideAPictureIsWrittenFromStartMarkerThroughEndMarker) {
  std::string picture(10000, 'p');
  picture.replace(512, 2, kStart);
  picture.replace(9000, 2, kEnd);
  ASSERT_EQ(Store(picture), 0);
  const std::string written = ReadWhole(dir / "out");
  EXPECT_EQ(written.size(), 8490u);
  EXPECT_EQ(written, picture.substr(512, 8490));
}

TEST_F(BlockFilesTest, AGifIsWrittenWhole) {
  const std::string gif = "GIF89a" + std::string(100, '\x01') + kStart + "x" + kEnd;
  ASSERT_EQ(Store(gif), 0);
  EXPECT_EQ(ReadWhole(dir / "out"), gif);
}

TEST_F(BlockFilesTest, AnExistingLongerFileIsEmptiedFirst) {
  WriteWhole(dir / "out", std::string(20000, 'o'));
  ASSERT_EQ(Store("short"), 0);
  EXPECT_EQ(ReadWhole(dir / "out"), "short");
}

TEST_F(BlockFilesTest, TheBlocksLockStateIsRestored) {
  for (bool locked : {false, true}) {
    Handle block = BlockOf("hdr" + kStart + "img" + kEnd);
    if (locked) HLock(block);
    const int8_t state = HGetState(block);
    OwnedText good(dir / "out");
    OwnedText bad(dir / "missing-dir/out");
    EXPECT_EQ(BlobToFile(block, *good), 0);
    EXPECT_EQ(HGetState(block), state);
    EXPECT_NE(BlobToFile(block, *bad), 0);
    EXPECT_EQ(HGetState(block), state);
    files.FailWrite(files.writes() + 1, kNoSpace);
    EXPECT_EQ(BlobToFile(block, *good), kNoSpace);
    EXPECT_EQ(HGetState(block), state);
    DisposeHandle(block);
  }
}

TEST_F(BlockFilesTest, BlobToFileFailuresAnswerTheSystemsError) {
  Handle block = BlockOf("data");
  OwnedText noDirectory(dir / "no/such/dir");
  EXPECT_GT(BlobToFile(block, *noDirectory), 0);
  OwnedText tooLong(dir / std::string(300, 'n'));
  EXPECT_GT(BlobToFile(block, *tooLong), 0);
  OwnedText directory(dir.path().string());
  EXPECT_GT(BlobToFile(block, *directory), 0);
  OwnedText good(dir / "out");
  files.FailClose(files.closes() + 1, kNoSpace);
  EXPECT_EQ(BlobToFile(block, *good), kNoSpace);
  EXPECT_EQ(BlobToFile(nullptr, *good), -1);
  DisposeHandle(block);
}

TEST_F(BlockFilesTest, AnErrorThatReadsAsZeroIsNotSuccess) {
  Handle block = BlockOf("data");
  OwnedText good(dir / "out");
  files.FailWrite(files.writes() + 1, 0x10000);  // low 16 bits are 0
  EXPECT_EQ(BlobToFile(block, *good), -1);
  files.FailWrite(files.writes() + 1, 0x1FFFF);  // low 16 bits read as -1
  EXPECT_EQ(BlobToFile(block, *good), -1);
  files.FailWrite(files.writes() + 1, 0x18000);
  EXPECT_EQ(BlobToFile(block, *good), -32768);
  DisposeHandle(block);
}

TEST_F(BlockFilesTest, FileToBlobReadsTheWholeFile) {
  std::string every;
  for (int i = 0; i < 256; ++i) every += char(i);
  WriteWhole(dir / "every", every);
  EXPECT_EQ(Load(dir / "every"), every);
  const std::string large = files_test::PatternBytes(3 << 20);
  WriteWhole(dir / "large", large);
  EXPECT_EQ(files_test::Checksum(Load(dir / "large")), files_test::Checksum(large));
  WriteWhole(dir / "empty", "");
  EXPECT_EQ(Load(dir / "empty"), "");
}

TEST_F(BlockFilesTest, FileToBlobAnswersNullWhenTheFileCannotBeRead) {
  EXPECT_EQ(Load(dir / "missing"), "<null>");
  EXPECT_EQ(Load(dir.path().string()), "<null>");
  EXPECT_EQ(Load(std::string(255, 'a')), "<null>");
  WriteWhole(dir / "data", std::string(10000, 'd'));
  files.FailRead(files.reads() + 1, 5);
  EXPECT_EQ(Load(dir / "data"), "<null>");  // the block read into is disposed of
}

TEST_F(BlockFilesTest, FileToBlobWithoutABlockReadsNothing) {
  WriteWhole(dir / "data", "content");
  TBTest_SetAllocationBudget(0);
  EXPECT_EQ(Load(dir / "data"), "<null>");
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(files.reads(), 0);
}

TEST_F(BlockFilesTest, AFileThatEndsEarlyGivesWhatItHeld) {
  WriteWhole(dir / "data", "0123456789");
  files.ShortReads(4);  // reads come in pieces of 4, then the end
  EXPECT_EQ(Load(dir / "data"), "0123456789");
  files.ShortReads(0);  // the file ends at once, as if emptied since its size was taken
  EXPECT_EQ(Load(dir / "data"), "");
}

TEST_F(BlockFilesTest, ABlockWrittenAndReadBackIsTheSame) {
  for (size_t size : {size_t(0), size_t(1), size_t(32000), size_t(32768), size_t(100001)}) {
    const std::string bytes =
        "plain" + files_test::WithoutMarkers(files_test::PatternBytes(size, uint32_t(size)));
    ASSERT_EQ(Store(bytes, "round"), 0);
    EXPECT_EQ(Load(dir / "round"), bytes) << size;
  }
}

}  // namespace
