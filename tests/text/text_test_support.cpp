#include "text/text_test_support.h"

#include "host/toolbox.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::testing {

void OpenCharTables() {
  static const bool opened = [] {
    EXPECT_GE(OpenResFile(NIMBUS_RESOURCE_PATH), 0) << NIMBUS_RESOURCE_PATH;
    // The toolbox makes a resource's block at its first request and keeps it: make both now,
    // so that the leak check of each test counts only the test's own blocks.
    TableBytes("Mac2ISO");
    TableBytes("ISO2Mac");
    return true;
  }();
  (void)opened;
}

std::array<uint8_t, 256> TableBytes(const char* name) {
  unsigned char pascalName[256];
  pascalName[0] = uint8_t(std::string_view(name).size());
  std::string_view(name).copy(reinterpret_cast<char*>(pascalName + 1), pascalName[0]);
  std::array<uint8_t, 256> table{};
  Handle resource = GetNamedResource(ResTypeOf("NMBc"), pascalName);
  EXPECT_NE(resource, nullptr) << name;
  if (resource == nullptr) return table;
  EXPECT_EQ(GetHandleSize(resource), 256) << name;
  if (GetHandleSize(resource) >= 256) BlockMove(*resource, table.data(), 256);
  return table;
}

FourDText MakeText(std::string_view bytes) {
  Handle block = NewHandle(int32_t(bytes.size()));
  if (!bytes.empty()) BlockMove(bytes.data(), *block, int32_t(bytes.size()));
  return FourDText{int16_t(bytes.size()), block};
}

std::string TextBytes(const FourDText& text) {
  if (text.handle == nullptr || text.length <= 0) return {};
  return std::string(*text.handle, size_t(text.length));
}

void DisposeText(const FourDText& text) {
  if (text.handle != nullptr) DisposeHandle(text.handle);
}

void TextTest::SetUp() {
  OpenCharTables();
  TBTest_SetAllocationBudget(-1);
  TBTest_ResetRecords();
  liveBlocks_ = TBTest_LiveHandles();
  unknownBlockUses_ = TBTest_UnknownBlockUses();
}

void TextTest::TearDown() {
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(TBTest_LiveHandles(), liveBlocks_) << "blocks leaked";
  EXPECT_EQ(TBTest_UnknownBlockUses(), unknownBlockUses_) << "a stale or foreign handle was used";
}

}  // namespace nimbus::testing
