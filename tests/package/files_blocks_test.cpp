// BlobToFile and FileToBlob over the system's file calls, the file names both take and the
// image finder: what is written or read, every failure's result, the block's lock state, and
// no file or block left behind on any path.
#include <gtest/gtest.h>

#include <string>

#include "package/block_files.h"
#include "package/files_test_support.h"
#include "package/image_finder.h"
#include "toolbox/toolbox_testing.h"

namespace {

using namespace files_test;
using nimbus::BlobToFile;
using nimbus::FileToBlob;

constexpr int32_t kNoSpace = 28;
const std::string kStart = "\xFF\xD8", kEnd = "\xFF\xD9";

class BlockFilesTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(files.stillOpen(), 0) << "a file was left open";
    EXPECT_EQ(TBTest_LiveHandles(), handles) << "a block was leaked";
    TBTest_SetAllocationBudget(-1);
  }
  // BlobToFile of the bytes into dir/out (or the path given).
  int32_t Store(const std::string& bytes, const std::string& path = "") {
    Handle block = BlockOf(bytes);
    OwnedText name(path.empty() ? dir / "out" : path);
    const int32_t status = BlobToFile(block, *name);
    DisposeHandle(block);
    return status;
  }
  // FileToBlob of the path: the block's bytes, or "<null>".
  std::string Load(const std::string& path, int32_t budget = -1) {
    OwnedText name(path);
    TBTest_SetAllocationBudget(budget);
    Handle block = FileToBlob(*name);
    TBTest_SetAllocationBudget(-1);
    if (block == nullptr) return "<null>";
    const std::string bytes(*block, size_t(GetHandleSize(block)));
    DisposeHandle(block);
    return bytes;
  }

  ScratchDir dir;
  CountingFiles files;
  int32_t handles = TBTest_LiveHandles();
};

TEST_F(BlockFilesTest, TheImageFinderReadsOnlyInsideTheBlock) {
  std::string picture(10000, 'p');
  picture.replace(512, 2, kStart).replace(9000, 2, kEnd);
  const struct {
    std::string bytes;
    int32_t first, end;
  } cases[] = {
      {"GIF89a", 0, 6},
      {"GIF8" + kStart + "." + kEnd, 0, 9},  // a GIF fills its block
      {"GIF", 0, 0},
      {"xGIF8", 0, 0},                           // all four bytes, at 0
      {picture, 512, 9001},                      // start through end marker
      {"h" + kStart + "a" + kEnd + kEnd, 1, 5},  // the first end marker
      {kStart + "x" + kStart + kEnd, 0, 0},      // a start marker at 0 is no picture's JPEG
      {"h" + kStart + "\xFF", 0, 0},
      {"h" + kEnd + kStart, 0, 0},
      {"", 0, 0},
  };
  for (const auto& c : cases) {
    Handle block = BlockOf(c.bytes);
    const nimbus::ImageRange range = nimbus::FindImage(block);
    EXPECT_EQ(range.first, c.first) << testing::PrintToString(c.bytes);
    EXPECT_EQ(range.end, c.end) << testing::PrintToString(c.bytes);
    DisposeHandle(block);
  }
  EXPECT_EQ(nimbus::FindImage(nullptr).end, 0);
}

// A marker segment: FF, the marker, two bytes of length (itself included), the contents.
std::string Segment(uint8_t marker, const std::string& contents) {
  const size_t length = contents.size() + 2;
  return std::string{'\xFF', char(marker), char(length >> 8), char(length & 0xFF)} + contents;
}

// FF and the byte after it.
std::string Marker(uint8_t second) {
  return std::string{'\xFF', char(second)};
}

// A small JPEG laid out as encoders write one: an EXIF segment whose contents end with a
// complete thumbnail JPEG, tables, then scans whose entropy-coded data holds stuffed FF 00
// bytes, restart markers and fill bytes before the next marker.
std::string CameraJpeg(bool progressive) {
  const std::string thumbnail = kStart + Segment(0xDB, "q") + Segment(0xDA, "s") + "t" + kEnd;
  const std::string exif = std::string("Exif\0\0II*\0", 10) + thumbnail;
  std::string jpeg = kStart + Segment(0xE1, exif) + Segment(0xDB, "tab");
  jpeg += Segment(0xC0, "frame") + Marker(0x01) + Marker(0xFF) + Segment(0xC4, "huff");
  jpeg += Segment(0xDA, "scan") + "d" + Marker(0x00) + "a" + Marker(0xD3) + "t" + Marker(0x00);
  if (progressive) {
    jpeg += Marker(0xFF) + Segment(0xC4, "h2") + Segment(0xDA, "s2") + "e" + Marker(0x00);
  }
  return jpeg + kEnd;
}

TEST_F(BlockFilesTest, TheJpegFinderFollowsTheSegmentsPastAThumbnail) {
  const std::string header = PatternBytes(100, 5, true);
  for (bool progressive : {false, true}) {
    const std::string jpeg = CameraJpeg(progressive);
    const int32_t thumbnailEnd = int32_t(header.size() + jpeg.find(kEnd)) + 1;
    const int32_t end = int32_t(header.size() + jpeg.size()) - 1;
    // Whole, with bytes behind it that hold markers of their own: the JPEG's own end marker.
    for (const std::string& trailer : {std::string(), kEnd + kStart + kEnd, std::string("x")}) {
      Handle block = BlockOf(header + jpeg + trailer);
      const nimbus::ImageRange range = nimbus::FindImage(block);
      EXPECT_EQ(range.first, 100);
      EXPECT_EQ(range.end, end) << progressive << testing::PrintToString(trailer);
      DisposeHandle(block);
    }
    // Every block that ends inside the JPEG breaks its structure: the first end marker, the
    // thumbnail's, ends it once the block holds it; before that nothing is found.
    for (size_t cut = 0; cut < jpeg.size(); ++cut) {
      Handle block = BlockOf(header + jpeg.substr(0, cut));
      const nimbus::ImageRange range = nimbus::FindImage(block);
      const bool started = cut >= 2, thumbnail = int32_t(header.size() + cut) > thumbnailEnd;
      EXPECT_EQ(range.first, started && thumbnail ? 100 : 0) << cut;
      EXPECT_EQ(range.end, started && thumbnail ? thumbnailEnd : 0) << cut;
      DisposeHandle(block);
    }
  }
}

TEST_F(BlockFilesTest, BytesThatAreNoWellFormedJpegEndAtTheFirstEndMarker) {
  const std::string scan = Segment(0xDA, "s") + "data";
  const std::string wellFormed = Segment(0xE1, "x" + kEnd) + scan + kEnd;
  const struct {
    std::string afterStart;  // what follows "h" FF D8
    int32_t end;
  } cases[] = {
      {wellFormed, 3 + int32_t(wellFormed.size()) - 1},                 // well formed: the real end
      {Marker(0xE1) + std::string("\0\1", 2) + kEnd + scan + kEnd, 8},  // a length below 2
      {"\xFF\xE1\x7F\xFF" + kEnd + scan + kEnd, 8},                     // a length past the block
      {"x" + Segment(0xE1, kEnd) + kEnd, 9},                            // no marker after the start
      {Segment(0xE1, kEnd) + Marker(0x00) + scan + kEnd, 8},            // FF 00 is no marker
      {Segment(0xE1, kEnd) + kStart + scan + kEnd, 8},                  // nor is a second start
      {Segment(0xE1, kEnd) + scan + "\xFF", 8},  // the block ends in the data
      {kEnd + kEnd, 4},                          // end at once: the same either way
  };
  for (const auto& c : cases) {
    Handle block = BlockOf("h" + kStart + c.afterStart);
    const nimbus::ImageRange range = nimbus::FindImage(block);
    EXPECT_EQ(range.first, 1) << testing::PrintToString(c.afterStart);
    EXPECT_EQ(range.end, c.end) << testing::PrintToString(c.afterStart);
    DisposeHandle(block);
  }
}

TEST_F(BlockFilesTest, BlobToFileWritesTheImageOrTheWholeBlock) {
  std::string picture = PatternBytes(10000, 1, true);
  picture.replace(512, 2, kStart).replace(9000, 2, kEnd);
  WriteWhole(dir / "out", std::string(20000, 'o'));  // emptied first
  ASSERT_EQ(Store(picture), 0);
  EXPECT_EQ(ReadWhole(dir / "out"), picture.substr(512, 8490));
  const std::string gif = "GIF89a" + PatternBytes(70000);
  const std::string startAtZero = kStart + "rest" + kEnd;
  const std::string plain = PatternBytes(100001, 2, true);
  for (const std::string& whole : {gif, startAtZero, plain, std::string()}) {
    ASSERT_EQ(Store(whole), 0);
    EXPECT_EQ(Checksum(ReadWhole(dir / "out")), Checksum(whole)) << whole.size();
    EXPECT_EQ(Load(dir / "out"), whole);  // and back
  }
}

TEST_F(BlockFilesTest, BlobToFileFailuresAnswerTheSystemsErrorAndRestoreTheLock) {
  for (bool locked : {false, true}) {
    Handle block = BlockOf("hdr" + kStart + "img" + kEnd);
    if (locked) HLock(block);
    const int8_t state = HGetState(block);
    // Names of 255 characters or more, longer than their block, or holding a zero byte are
    // no names: the open fails.
    OwnedText good(dir / "out"), noDir(dir / "no/dir"), tooLong(dir / std::string(300, 'n')),
        directory(dir.path()), pastTheBlock(dir / "out", 300), withZero(dir / "out" + '\0');
    for (FourDText* name : {&*noDir, &*tooLong, &*directory, &*pastTheBlock, &*withZero}) {
      EXPECT_GT(BlobToFile(block, *name), 0);
      EXPECT_EQ(HGetState(block), state);
    }
    files.FailWrite(1, kNoSpace);
    EXPECT_EQ(BlobToFile(block, *good), kNoSpace);
    EXPECT_EQ(HGetState(block), state);
    files.FailClose(1, kNoSpace);  // a failed close may have lost the bytes
    EXPECT_EQ(BlobToFile(block, *good), kNoSpace);
    files.FailWrite(1, 0x10000);  // an error whose low 16 bits read 0 is still a failure
    EXPECT_EQ(BlobToFile(block, *good), -1);
    EXPECT_EQ(BlobToFile(block, *good), 0);
    EXPECT_EQ(HGetState(block), state);
    EXPECT_EQ(BlobToFile(nullptr, *good), -1);
    DisposeHandle(block);
  }
}

TEST_F(BlockFilesTest, FileToBlobAnswersNullWhenTheFileCannotBeRead) {
  WriteWhole(dir / "data", std::string(10000, 'd'));
  EXPECT_EQ(Load(dir / "missing"), "<null>");
  EXPECT_EQ(Load(dir.path()), "<null>");
  EXPECT_EQ(Load(std::string(255, 'a')), "<null>");
  files.FailRead(1, 5);
  EXPECT_EQ(Load(dir / "data"), "<null>");  // its block is disposed of
  EXPECT_EQ(Load(dir / "data", 0), "<null>");
  EXPECT_EQ(Load(dir / "data"), std::string(10000, 'd'));
}

}  // namespace
