// The file seam on this system: the four opening styles, reads and writes, size, seek to the
// end, and the replaceable table of calls.
#include <gtest/gtest.h>

#include <string>

#include "package/files_test_support.h"
#include "platform/files.h"

namespace {

using files_test::ReadWhole;
using files_test::ScratchDir;
using files_test::WriteWhole;
using nimbus::platform::File;
using nimbus::platform::FileMode;
using nimbus::platform::Files;
using nimbus::platform::kInvalidFile;

constexpr int32_t kFileNotFound = 2;  // ENOENT and ERROR_FILE_NOT_FOUND alike

std::string ReadAll(File file) {
  std::string bytes;
  char buffer[1000];
  for (int32_t n; (n = Files().read(file, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  return bytes;
}

class FilePlatformTest : public testing::Test {
 protected:
  ScratchDir dir;
};

TEST_F(FilePlatformTest, CreateReadWriteEmptiesAnExistingFileAndCreatesAMissingOne) {
  const std::string existing = dir / "existing";
  WriteWhole(existing, std::string(500, 'x'));
  for (const std::string& path : {existing, dir / "new"}) {
    const File file = Files().open(path.c_str(), FileMode::kCreateReadWrite);
    ASSERT_NE(file, kInvalidFile) << path;
    EXPECT_EQ(Files().size(file), 0);
    EXPECT_EQ(Files().write(file, "hello", 5), 5);
    EXPECT_EQ(Files().size(file), 5);
    EXPECT_EQ(Files().close(file), 0);
    EXPECT_EQ(ReadWhole(path), "hello");
  }
}

TEST_F(FilePlatformTest, AppendKeepsTheContentsWritesAtTheEndAndCreatesWhenMissing) {
  const std::string existing = dir / "log";
  WriteWhole(existing, "first.");
  File file = Files().open(existing.c_str(), FileMode::kAppend);
  ASSERT_NE(file, kInvalidFile);
  EXPECT_EQ(Files().write(file, "second.", 7), 7);
  EXPECT_EQ(Files().seekToEnd(file), 13);
  EXPECT_EQ(Files().close(file), 0);
  EXPECT_EQ(ReadWhole(existing), "first.second.");

  const std::string missing = dir / "missing";
  file = Files().open(missing.c_str(), FileMode::kAppend);
  ASSERT_NE(file, kInvalidFile);
  EXPECT_EQ(Files().write(file, "new", 3), 3);
  EXPECT_EQ(Files().close(file), 0);
  EXPECT_EQ(ReadWhole(missing), "new");
}

TEST_F(FilePlatformTest, ReadingStylesOpenOnlyExistingFilesAndRefuseWrites) {
  const std::string path = dir / "data";
  WriteWhole(path, "0123456789");
  for (FileMode mode : {FileMode::kReadShared, FileMode::kReadOnly}) {
    const File file = Files().open(path.c_str(), mode);
    ASSERT_NE(file, kInvalidFile);
    EXPECT_EQ(Files().size(file), 10);
    EXPECT_EQ(Files().write(file, "x", 1), -1);
    EXPECT_NE(Files().lastError(), 0);
    EXPECT_EQ(ReadAll(file), "0123456789");
    EXPECT_EQ(Files().read(file, nullptr, 0), 0);
    EXPECT_EQ(Files().close(file), 0);

    const std::string missing = dir / "missing";
    EXPECT_EQ(Files().open(missing.c_str(), mode), kInvalidFile);
    EXPECT_EQ(Files().lastError(), kFileNotFound);
    EXPECT_FALSE(files_test::Exists(missing));
  }
  EXPECT_EQ(ReadWhole(path), "0123456789");
}

TEST_F(FilePlatformTest, SharedReadingLetsAWriterInMeanwhile) {
  const std::string path = dir / "shared";
  WriteWhole(path, "abc");
  const File reader = Files().open(path.c_str(), FileMode::kReadShared);
  ASSERT_NE(reader, kInvalidFile);
  const File writer = Files().open(path.c_str(), FileMode::kAppend);
  ASSERT_NE(writer, kInvalidFile);
  EXPECT_EQ(Files().write(writer, "def", 3), 3);
  EXPECT_EQ(Files().close(writer), 0);
  EXPECT_EQ(ReadAll(reader), "abcdef");
  EXPECT_EQ(Files().close(reader), 0);
}

TEST_F(FilePlatformTest, DirectoriesAndEmptyNamesDoNotOpen) {
  const std::string directory = dir.path().string();
  for (FileMode mode : {FileMode::kReadShared, FileMode::kCreateReadWrite, FileMode::kAppend,
                        FileMode::kReadOnly}) {
    EXPECT_EQ(Files().open(directory.c_str(), mode), kInvalidFile) << int(mode);
    EXPECT_NE(Files().lastError(), 0);
    EXPECT_EQ(Files().open("", mode), kInvalidFile) << int(mode);
    EXPECT_NE(Files().lastError(), 0);
  }
}

TEST_F(FilePlatformTest, LongNamesUpTo254CharactersOpen) {
  std::string path = dir / "";
  path.append(254 - path.size(), 'n');
  ASSERT_EQ(path.size(), 254u);
  const File file = Files().open(path.c_str(), FileMode::kCreateReadWrite);
  ASSERT_NE(file, kInvalidFile) << Files().lastError();
  EXPECT_EQ(Files().close(file), 0);
  EXPECT_TRUE(files_test::Exists(path));
}

TEST_F(FilePlatformTest, NegativeCountsAreRefused) {
  const std::string path = dir / "counts";
  const File file = Files().open(path.c_str(), FileMode::kCreateReadWrite);
  ASSERT_NE(file, kInvalidFile);
  char buffer[4];
  EXPECT_EQ(Files().write(file, buffer, -1), -1);
  EXPECT_EQ(Files().read(file, buffer, -1), -1);
  EXPECT_EQ(Files().size(file), 0);
  EXPECT_EQ(Files().close(file), 0);
}

TEST_F(FilePlatformTest, ATestTableIsUsedUntilReset) {
  {
    files_test::CountingFiles counting;
    counting.FailWrite(2, 28);
    const std::string path = dir / "counted";
    const File file = Files().open(path.c_str(), FileMode::kCreateReadWrite);
    ASSERT_NE(file, kInvalidFile);
    EXPECT_EQ(Files().write(file, "a", 1), 1);
    EXPECT_EQ(Files().write(file, "b", 1), -1);
    EXPECT_EQ(Files().lastError(), 28);
    EXPECT_EQ(Files().close(file), 0);
    EXPECT_EQ(counting.opens(), 1);
    EXPECT_EQ(counting.stillOpen(), 0);
    EXPECT_EQ(ReadWhole(path), "a");
  }
  const auto system = nimbus::platform::SystemFileCalls();
  EXPECT_EQ(Files().open, system.open);
  EXPECT_EQ(Files().write, system.write);
  EXPECT_EQ(Files().close, system.close);
}

}  // namespace
