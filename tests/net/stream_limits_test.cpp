// 1023 streams open at once: every reference in use, the next open of each kind refused,
// and nothing leaked on the way.
#include "net/net_support.h"
#include "toolbox/toolbox_testing.h"

namespace nettest {
namespace {

using StreamLimitsTest = NetTest;

TEST_F(StreamLimitsTest, ReferenceAfterTheLastIsRefusedWithNothingLeaked) {
  PeerListener listener(1100);
  const int descriptors = OpenDescriptors();
  const int32_t records = TBTest_LivePointers();
  for (int32_t expected = 1; expected <= 1023; ++expected) {
    ASSERT_EQ(Open(listener.port()), expected);
  }
  EXPECT_EQ(OpenCount(), 1023);
  if (descriptors >= 0) {
    EXPECT_EQ(OpenDescriptors(), descriptors + 1023);
  }

  const uint16_t port = UnusedPort();
  EXPECT_EQ(Open(listener.port()), 0);
  EXPECT_EQ(Listen(port), 0);
  EXPECT_EQ(DatagramOpen(), 0);
  EXPECT_EQ(OpenCount(), 1023);
  if (descriptors >= 0) {
    EXPECT_EQ(OpenDescriptors(), descriptors + 1023);  // the refused ones closed their sockets
  }
  EXPECT_FALSE(ConnectTo(port).valid());  // nor is anything left listening

  EXPECT_EQ(Wait(1023, 8, 5), 8);  // descriptors past FD_SETSIZE poll correctly
  for (int32_t ref = 1; ref <= 1023; ++ref) ASSERT_EQ(Release(ref), 0);
  EXPECT_EQ(OpenCount(), 0);
  if (descriptors >= 0) {
    EXPECT_EQ(OpenDescriptors(), descriptors);
  }
  EXPECT_EQ(TBTest_LivePointers(), records);
}

}  // namespace
}  // namespace nettest
