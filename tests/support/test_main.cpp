// Entry of every test program: the toolbox's moving mode is on, so a raw pointer kept into
// an unlocked block across a move fails loudly.
#include <gtest/gtest.h>

#include "toolbox/toolbox_testing.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  TBTest_SetMovingMode(1);
  return RUN_ALL_TESTS();
}
