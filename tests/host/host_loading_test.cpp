// Loading and unloading a package: the life-cycle selectors with the globals variable, the
// resource file, and clean failures for files that are no package.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/host.h"
#include "toolbox/toolbox_testing.h"

namespace {

using standin::Host;
namespace fs = std::filesystem;

std::string LastMessage() {
  return TBTest_LastMessage();
}

fs::path TempPath(const std::string& name) {
  return fs::temp_directory_path() / ("nimbus_host_test_" + name);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void Put(std::string* out, uint32_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out->push_back(char((value >> (8 * i)) & 0xFF));
}

// A resource file holding one resource of type NMBc named Mac2ISO with `size` bytes.
std::string ResourceFileWithTable(uint32_t size) {
  const std::string name = "\x07Mac2ISO";
  std::string data;
  Put(&data, size, 4);
  data.append(size, '\x01');
  std::string map(16 + 4 + 2 + 2, '\0');
  Put(&map, 28, 2);               // type list offset
  Put(&map, 28 + 2 + 8 + 12, 2);  // name list offset
  Put(&map, 0, 2);                // one type
  map += "NMBc";
  Put(&map, 0, 2);      // one resource
  Put(&map, 2 + 8, 2);  // its reference list, from the type list
  Put(&map, 128, 2);    // id
  Put(&map, 0, 2);      // name offset
  Put(&map, 0, 1);      // attributes
  Put(&map, 0, 3);      // data offset
  Put(&map, 0, 4);
  map += name;
  std::string file;
  Put(&file, 16, 4);
  Put(&file, uint32_t(16 + data.size()), 4);
  Put(&file, uint32_t(data.size()), 4);
  Put(&file, uint32_t(map.size()), 4);
  return file + data + map;
}

TEST(HostLoading, LoadAndUnloadCallTheLifeCycleSelectorsWithTheGlobals) {
  const int32_t handlesBefore = TBTest_LiveHandles();
  {
    Host host;
    ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH)) << host.lastError();
    EXPECT_TRUE(host.loaded());
    EXPECT_EQ(LastMessage(), "fake package: load, table none");
    ASSERT_NE(*host.globalsVariable(), nullptr);

    host.Unload();
    EXPECT_FALSE(host.loaded());
    EXPECT_EQ(LastMessage(), "fake package: unload, globals FAKE, calls in progress 0");
    EXPECT_EQ(*host.globalsVariable(), nullptr);
    EXPECT_EQ(TBTest_LiveHandles(), handlesBefore) << "the global block was not disposed of";

    // Loaded again after an unload, and unloaded by the destructor.
    ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH)) << host.lastError();
    TBTest_ResetRecords();
  }
  EXPECT_EQ(TBTest_MessageCount(), 1);
  EXPECT_EQ(LastMessage(), "fake package: unload, globals FAKE, calls in progress 0");
  EXPECT_EQ(TBTest_LiveHandles(), handlesBefore);
}

TEST(HostLoading, SecondLoadIsRefused) {
  Host host;
  ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH)) << host.lastError();
  EXPECT_FALSE(host.Load(FAKE_PACKAGE_PATH));
  EXPECT_EQ(host.lastError(), "a package is already loaded");
  EXPECT_TRUE(host.loaded());
}

TEST(HostLoading, FilesThatAreNoPackageFailCleanly) {
  const fs::path text = TempPath("not_a_library.4DX");
  WriteFile(text, "this is not a library");
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {(TempPath("missing") / "Nimbus.4DX").string(), "cannot load package"},
      {text.string(), "cannot load package"},
      {TOOLBOX_LIBRARY_PATH, "does not export FourDPack"},
  };
  for (const Case& c : cases) {
    Host host;
    TBTest_ResetRecords();
    EXPECT_FALSE(host.Load(c.path));
    EXPECT_FALSE(host.loaded());
    EXPECT_NE(host.lastError().find(c.expected), std::string::npos) << host.lastError();
    EXPECT_NE(host.lastError().find(c.path), std::string::npos) << host.lastError();
    EXPECT_EQ(TBTest_MessageCount(), 0) << "load was called";
    host.Unload();  // nothing to unload: no effect
    EXPECT_EQ(TBTest_MessageCount(), 0);
  }
  fs::remove(text);
}

TEST(HostLoading, ResourceFileIsOpenBeforeLoadAndClosedAtUnload) {
  const fs::path resources = TempPath("Nimbus.RSR");
  WriteFile(resources, ResourceFileWithTable(256));
  {
    Host host;
    ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH, resources.string())) << host.lastError();
    EXPECT_EQ(LastMessage(), "fake package: load, table 256");
  }
  {
    // The file of the first load was closed: without one, the table is gone.
    Host host;
    ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH, (TempPath("absent") / "Nimbus.RSR").string()))
        << "a missing resource file is no error";
    EXPECT_EQ(LastMessage(), "fake package: load, table none");
  }
  fs::remove(resources);
}

TEST(HostLoading, ResourceFileThatDoesNotOpenFailsTheLoad) {
  Host host;
  TBTest_ResetRecords();
  const std::string directory = fs::temp_directory_path().string();
  EXPECT_FALSE(host.Load(FAKE_PACKAGE_PATH, directory));
  EXPECT_EQ(host.lastError(), "cannot open resource file " + directory);
  EXPECT_FALSE(host.loaded());
  EXPECT_EQ(TBTest_MessageCount(), 0);
}

}  // namespace
