// The routine catalog: one row for every routine number, found by name or number.
#include <gtest/gtest.h>

#include <cctype>
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
    ASSERT_EQ(info.names.size(), info.params.size()) << info.name;
    for (Kind kind : info.params) EXPECT_NE(kind, Kind::kNone) << info.name;
    // Names are variable names: letters and digits, and two parameters that are read or
    // written never share one.
    std::set<std::string> paramNames;
    for (const std::string& name : info.names) {
      EXPECT_FALSE(name.empty()) << info.name;
      for (char c : name) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << name;
      if (name != standin::kUnusedParameter) {
        EXPECT_TRUE(paramNames.insert(name).second) << info.name << " names two " << name;
      }
    }
  }
  EXPECT_EQ(expected, 59);
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
