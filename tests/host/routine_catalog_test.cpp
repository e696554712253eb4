// The routine catalog: one row for every routine number, found by name or number.
#include <gtest/gtest.h>

#include <set>

#include "host/host.h"

namespace {

using standin::FindRoutineInfo;
using standin::Kind;
using standin::RoutineCatalog;
using standin::RoutineInfo;

TEST(RoutineCatalog, EveryNumberFrom2To58But56OnceInOrder) {
  int32_t expected = 2;
  std::set<std::string> names;
  for (const RoutineInfo& info : RoutineCatalog()) {
    if (expected == 56) ++expected;
    EXPECT_EQ(info.selector, expected) << info.name;
    ++expected;
    EXPECT_TRUE(names.insert(info.name).second) << "twice: " << info.name;
    ASSERT_EQ(info.outputs.size(), info.params.size()) << info.name;
    for (Kind kind : info.params) EXPECT_NE(kind, Kind::kNone) << info.name;
  }
  EXPECT_EQ(expected, 59);
}

TEST(RoutineCatalog, WrittenParametersAreThoseOfTheOutputRoutines) {
  // The routines that write parameters, and how many each writes.
  const std::pair<const char*, int> writers[] = {{"StreamReceiveText", 1}, {"StreamAddresses", 5},
                                                 {"LocalAddress", 3},      {"DatagramReceive", 3},
                                                 {"PictureInfo", 5},       {"SecondsToDateTime", 2},
                                                 {"NameCopy", 2}};
  int total = 0;
  for (const auto& [name, count] : writers) {
    const RoutineInfo* info = FindRoutineInfo(name);
    ASSERT_NE(info, nullptr) << name;
    EXPECT_EQ(std::count(info->outputs.begin(), info->outputs.end(), true), count) << name;
    total += count;
  }
  int written = 0;
  for (const RoutineInfo& info : RoutineCatalog()) {
    written += int(std::count(info.outputs.begin(), info.outputs.end(), true));
  }
  EXPECT_EQ(written, total) << "another routine writes a parameter";
}

TEST(RoutineCatalog, FoundByNameInAnyCaseOrByNumber) {
  ASSERT_NE(FindRoutineInfo("StreamOpen"), nullptr);
  EXPECT_EQ(FindRoutineInfo("streamopen"), FindRoutineInfo("StreamOpen"));
  EXPECT_EQ(FindRoutineInfo("STREAMOPEN")->selector, 2);
  EXPECT_EQ(FindRoutineInfo("53")->name, "NameCopy");
  EXPECT_EQ(FindRoutineInfo("58")->result, Kind::kBlock);
  for (const char* missing : {"", "56", "0", "59", "-1", "Stream", "StreamOpenX", "53x", " 53"}) {
    EXPECT_EQ(FindRoutineInfo(missing), nullptr) << '"' << missing << '"';
  }
}

}  // namespace
