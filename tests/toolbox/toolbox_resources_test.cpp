// Named resources read from resource files that the tests write byte by byte, sound and
// damaged.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "host/toolbox.h"
#include "toolbox/host_services.h"
#include "toolbox/toolbox_testing.h"

namespace {

struct Entry {
  const char* type;
  int16_t id;
  std::optional<std::string> name;  // none: an unnamed resource
  std::string data;
};

void Put(std::string& out, size_t at, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out[at + i] = char(value >> (8 * (width - 1 - i)));
}

void Append(std::string& out, uint32_t value, int width) {
  out.resize(out.size() + width);
  Put(out, out.size() - width, value, width);
}

// Where the builder put things, so that tests can damage them precisely.
struct Layout {
  size_t mapOffset;
  size_t typeList;        // absolute
  size_t firstReference;  // absolute
  size_t nameList;        // absolute
};

// Writes a resource file: header, data, map with type list, reference lists and names.
// Entries of one type must be given together.
std::string BuildResourceFile(const std::vector<Entry>& entries, Layout* layout = nullptr) {
  std::string data, names;
  std::vector<uint32_t> dataOffsets, nameOffsets;
  for (const Entry& e : entries) {
    dataOffsets.push_back(uint32_t(data.size()));
    Append(data, uint32_t(e.data.size()), 4);
    data += e.data;
    if (e.name) {
      nameOffsets.push_back(uint32_t(names.size()));
      names += char(e.name->size());
      names += *e.name;
    } else {
      nameOffsets.push_back(0xFFFF);
    }
  }
  std::vector<std::pair<std::string, std::vector<size_t>>> types;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (types.empty() || types.back().first != entries[i].type)
      types.push_back({entries[i].type, {}});
    types.back().second.push_back(i);
  }
  constexpr size_t kMapHeader = 28;
  size_t typeListSize = 2 + 8 * types.size();
  std::string map(kMapHeader, '\0');
  Put(map, 24, uint32_t(kMapHeader), 2);
  Append(map, uint32_t(types.size() - 1), 2);
  size_t refOffset = typeListSize;
  for (const auto& [type, members] : types) {
    for (char c : type) map += c;
    Append(map, uint32_t(members.size() - 1), 2);
    Append(map, uint32_t(refOffset), 2);
    refOffset += 12 * members.size();
  }
  for (const auto& [type, members] : types) {
    for (size_t i : members) {
      Append(map, uint32_t(uint16_t(entries[i].id)), 2);
      Append(map, nameOffsets[i], 2);
      Append(map, 0, 1);
      Append(map, dataOffsets[i], 3);
      Append(map, 0, 4);
    }
  }
  Put(map, 26, uint32_t(map.size()), 2);
  size_t nameListInMap = map.size();
  map += names;

  std::string file(16, '\0');
  size_t dataOffset = 16, mapOffset = 16 + data.size();
  Put(file, 0, uint32_t(dataOffset), 4);
  Put(file, 4, uint32_t(mapOffset), 4);
  Put(file, 8, uint32_t(data.size()), 4);
  Put(file, 12, uint32_t(map.size()), 4);
  file += data;
  file += map;
  if (layout)
    *layout = {mapOffset, mapOffset + kMapHeader, mapOffset + kMapHeader + typeListSize,
               mapOffset + nameListInMap};
  return file;
}

std::array<unsigned char, 256> Pascal(const std::string& text) {
  std::array<unsigned char, 256> s{};
  s[0] = static_cast<unsigned char>(text.size());
  for (size_t i = 0; i < text.size(); ++i) s[i + 1] = static_cast<unsigned char>(text[i]);
  return s;
}

Handle Find(const char* type, const std::string& name) {
  ResType code = (uint32_t(uint8_t(type[0])) << 24) | (uint32_t(uint8_t(type[1])) << 16) |
                 (uint32_t(uint8_t(type[2])) << 8) | uint32_t(uint8_t(type[3]));
  return GetNamedResource(code, Pascal(name).data());
}

std::string Contents(Handle h) {
  return std::string(*h, size_t(GetHandleSize(h)));
}

const std::vector<Entry> kSample = {
    {"NMBc", 128, "Mac2ISO", std::string(256, 'm')},
    {"NMBc", 129, "ISO2Mac", std::string(256, 'i')},
    {"NMBc", 130, std::nullopt, "unnamed"},
    {"NMBc", 131, "", "empty name"},
    {"TEXT", 128, "Mac2ISO", "another type"},
};

class ResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("toolbox_resources_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
    TBHost_CloseResFiles();
    liveAtStart_ = TBTest_LiveHandles();
  }
  void TearDown() override {
    TBHost_CloseResFiles();
    EXPECT_EQ(TBTest_LiveHandles(), liveAtStart_);
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const std::string& bytes, const std::string& name = "file.rsr") {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
  }
  std::filesystem::path dir_;
  int32_t liveAtStart_ = 0;
};

TEST_F(ResourcesTest, FindsNamedResourcesByTypeAndExactName) {
  int16_t ref = OpenResFile(Write(BuildResourceFile(kSample)).c_str());
  ASSERT_GE(ref, 1);
  Handle m2i = Find("NMBc", "Mac2ISO");
  ASSERT_NE(m2i, nullptr);
  EXPECT_EQ(Contents(m2i), std::string(256, 'm'));
  ASSERT_NE(Find("NMBc", "ISO2Mac"), nullptr);
  EXPECT_EQ(Contents(Find("NMBc", "ISO2Mac")), std::string(256, 'i'));
  EXPECT_EQ(Contents(Find("TEXT", "Mac2ISO")), "another type");
  ASSERT_NE(Find("NMBc", ""), nullptr);
  EXPECT_EQ(Contents(Find("NMBc", "")), "empty name");

  EXPECT_EQ(Find("NMBc", "mac2iso"), nullptr);  // names compare exactly
  EXPECT_EQ(Find("NMBc", "Mac2IS"), nullptr);
  EXPECT_EQ(Find("NMBC", "Mac2ISO"), nullptr);
  EXPECT_EQ(GetNamedResource(ResTypeOf("NMBc"), nullptr), nullptr);
}

TEST_F(ResourcesTest, KeepsOneHandlePerResourceUntilClosed) {
  OpenResFile(Write(BuildResourceFile(kSample)).c_str());
  Handle first = Find("NMBc", "Mac2ISO");
  ASSERT_NE(first, nullptr);
  int32_t live = TBTest_LiveHandles();
  EXPECT_EQ(Find("NMBc", "Mac2ISO"), first);
  EXPECT_EQ(TBTest_LiveHandles(), live);

  // A caller that disposes of it anyway gets a fresh, sound block next time.
  DisposeHandle(first);
  Handle again = Find("NMBc", "Mac2ISO");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Contents(again), std::string(256, 'm'));

  TBHost_CloseResFiles();
  EXPECT_EQ(TBTest_LiveHandles(), liveAtStart_);
  EXPECT_EQ(Find("NMBc", "Mac2ISO"), nullptr);
}

TEST_F(ResourcesTest, TheMostRecentlyOpenedFileComesFirst) {
  int16_t older = OpenResFile(Write(BuildResourceFile({{"NMBc", 1, "T", "older"}}), "a").c_str());
  int16_t newer = OpenResFile(
      Write(BuildResourceFile({{"NMBc", 1, "T", "newer"}, {"NMBc", 2, "U", "only"}}), "b").c_str());
  ASSERT_GE(older, 1);
  ASSERT_GE(newer, 1);
  EXPECT_NE(older, newer);
  EXPECT_EQ(Contents(Find("NMBc", "T")), "newer");
  EXPECT_EQ(Contents(Find("NMBc", "U")), "only");
}

TEST_F(ResourcesTest, MissingFilesAnswerMinusOne) {
  EXPECT_EQ(OpenResFile((dir_ / "absent.rsr").string().c_str()), -1);
  EXPECT_EQ(OpenResFile(""), -1);
  EXPECT_EQ(OpenResFile(nullptr), -1);
  EXPECT_EQ(OpenResFile(dir_.string().c_str()), -1);  // a directory
}

TEST_F(ResourcesTest, EveryTruncationGivesNothingRatherThanGarbage) {
  std::string whole = BuildResourceFile(kSample);
  for (size_t length = 0; length < whole.size(); ++length) {
    OpenResFile(Write(whole.substr(0, length)).c_str());
    // The header's lengths no longer fit the file: the file yields no resource at all.
    ASSERT_EQ(Find("NMBc", "Mac2ISO"), nullptr) << "length " << length;
    ASSERT_EQ(Find("TEXT", "Mac2ISO"), nullptr) << "length " << length;
    TBHost_CloseResFiles();
  }
}

TEST_F(ResourcesTest, OffsetsOutOfRangeLoseOnlyWhatTheyDescribe) {
  Layout at;
  std::string good = BuildResourceFile(kSample, &at);
  auto openDamaged = [&](size_t offset, uint32_t value, int width) {
    std::string bad = good;
    Put(bad, offset, value, width);
    TBHost_CloseResFiles();
    OpenResFile(Write(bad).c_str());
  };
  // Header: map or data section outside the file.
  openDamaged(4, 0xFFFFFFF0u, 4);
  EXPECT_EQ(Find("NMBc", "ISO2Mac"), nullptr);
  openDamaged(8, 0x7FFFFFFFu, 4);
  EXPECT_EQ(Find("NMBc", "ISO2Mac"), nullptr);
  openDamaged(12, uint32_t(good.size()), 4);
  EXPECT_EQ(Find("NMBc", "ISO2Mac"), nullptr);
  // Map: type list or name list offsets past the map.
  openDamaged(at.mapOffset + 24, 0xFFFF, 2);
  EXPECT_EQ(Find("NMBc", "ISO2Mac"), nullptr);
  openDamaged(at.mapOffset + 26, 0xFFF0, 2);
  EXPECT_EQ(Find("NMBc", "ISO2Mac"), nullptr);
  // A type count far beyond the list: the types that are there still read.
  openDamaged(at.typeList, 0x7FFF, 2);
  EXPECT_EQ(Contents(Find("TEXT", "Mac2ISO")), "another type");
  // The first type's reference list outside the map: that type is lost, the other stays.
  openDamaged(at.typeList + 2 + 6, 0xFFF0, 2);
  EXPECT_EQ(Find("NMBc", "ISO2Mac"), nullptr);
  EXPECT_EQ(Contents(Find("TEXT", "Mac2ISO")), "another type");
  // One reference with its data or its name out of range: only that resource is lost.
  openDamaged(at.firstReference + 5, 0xFFFFFF, 3);
  EXPECT_EQ(Find("NMBc", "Mac2ISO"), nullptr);
  EXPECT_EQ(Contents(Find("NMBc", "ISO2Mac")), std::string(256, 'i'));
  openDamaged(at.firstReference + 2, 0x7000, 2);
  EXPECT_EQ(Find("NMBc", "Mac2ISO"), nullptr);
  EXPECT_EQ(Contents(Find("NMBc", "ISO2Mac")), std::string(256, 'i'));
  // A data length running past the data section.
  openDamaged(16, 0xFFFFFFFFu, 4);
  EXPECT_EQ(Find("NMBc", "Mac2ISO"), nullptr);
  // A name whose length byte runs past the map.
  openDamaged(good.size() - 8, 0xFF, 1);  // length byte of the last name, "Mac2ISO"
  EXPECT_EQ(Find("TEXT", "Mac2ISO"), nullptr);
}

TEST_F(ResourcesTest, RandomDamageNeverReadsOutsideTheFile) {
  // Under AddressSanitizer any read outside the bytes read from disk would stop the test.
  std::string good = BuildResourceFile(kSample);
  std::mt19937 random(7);
  for (int trial = 0; trial < 400; ++trial) {
    std::string bad = good;
    for (int hits = 1 + int(random() % 4); hits > 0; --hits) {
      bad[random() % bad.size()] = char(random() % 4 == 0 ? 0xFF : random());
    }
    OpenResFile(Write(bad).c_str());
    for (const Entry& e : kSample) {
      if (!e.name) continue;
      Handle h = Find(e.type, *e.name);
      if (h != nullptr) {
        ASSERT_LE(size_t(GetHandleSize(h)), bad.size());
      }
    }
    TBHost_CloseResFiles();
  }
}

}  // namespace
