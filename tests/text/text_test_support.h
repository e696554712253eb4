// Shared pieces of the text tests: Texts made from and read back into byte strings, the
// character tables from the generated resource file, and a fixture that checks for leaks.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/fourd_params.h"

namespace nimbus::testing {

// Opens the package's resource file (once per program), so the character tables are found.
void OpenCharTables();

// The 256 bytes of "Mac2ISO" or "ISO2Mac" as the resource file holds them.
std::array<uint8_t, 256> TableBytes(const char* name);

// A Text holding a copy of the bytes, in a new block.
FourDText MakeText(std::string_view bytes);
// The Text's characters: its first `length` bytes. Empty for a null handle.
std::string TextBytes(const FourDText& text);
// Disposes of the Text's block, if any.
void DisposeText(const FourDText& text);

// Every test starts with the character tables open and the allocation budget lifted, and
// ends with as many live blocks as it started with.
class TextTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  int32_t liveBlocks_ = 0;
  int32_t unknownBlockUses_ = 0;
};

}  // namespace nimbus::testing
