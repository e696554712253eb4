// 1023 streams open at once with data in flight both ways: every byte arrives on its own
// connection, the statistics add up, and releasing them gives back every descriptor and
// record.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "net/net_support.h"
#include "toolbox/toolbox_testing.h"

namespace nettest {
namespace {

constexpr int32_t kStreams = 1023;
constexpr size_t kOutgoing = 2000;  // per stream, package to peer
constexpr size_t kIncoming = 1000;  // per stream, peer to package
constexpr size_t kTagLength = 4;

// The bytes of one direction of one stream: its reference as four digits, then a filler
// that differs from stream to stream.
std::string Message(int32_t ref, size_t length, char base) {
  char tag[kTagLength + 1];
  std::snprintf(tag, sizeof tag, "%04d", ref);
  std::string bytes(tag);
  for (size_t i = bytes.size(); i < length; ++i) bytes += char(base + (ref + i) % 26);
  return bytes;
}

using ManyStreamsTest = NetTest;

TEST_F(ManyStreamsTest, EveryReferenceCarriesItsOwnBytesBothWays) {
  PeerListener listener(kStreams + 64);
  const int descriptors = OpenDescriptors();
  const int32_t records = TBTest_LivePointers();

  for (int32_t ref = 1; ref <= kStreams; ++ref) ASSERT_EQ(Open(listener.port()), ref);
  std::vector<PeerSocket> accepted;
  for (int32_t i = 0; i < kStreams; ++i) {
    accepted.push_back(listener.Accept());
    ASSERT_TRUE(accepted.back().valid()) << "connection " << i;
  }
  for (int32_t ref = 1; ref <= kStreams; ++ref) ASSERT_EQ(Wait(ref, 8, 5), 8) << ref;

  // Every stream sends; each peer reads only the tag that names its stream and answers, so
  // that both directions hold unread bytes on every connection at once.
  for (int32_t ref = 1; ref <= kStreams; ++ref) {
    ASSERT_EQ(Send(ref, Message(ref, kOutgoing, 'a')), 0) << ref;
  }
  std::vector<PeerSocket> peers(kStreams + 1);
  for (PeerSocket& peer : accepted) {
    const std::string tag = peer.Read(kTagLength);
    const int32_t ref = std::stoi(tag);
    ASSERT_TRUE(ref >= 1 && ref <= kStreams && !peers[ref].valid()) << tag;
    peer.SendAll(Message(ref, kIncoming, 'A'));
    peers[ref] = std::move(peer);
  }

  for (int32_t ref = 1; ref <= kStreams; ++ref) {
    std::string received;
    for (int attempt = 0; attempt < 5000 && received.size() < kIncoming; ++attempt) {
      std::string text;
      if (Receive(ref, &text) > 0) {
        received += text;
      } else {
        std::this_thread::yield();
      }
    }
    ASSERT_EQ(received, Message(ref, kIncoming, 'A')) << ref;
    ASSERT_EQ(peers[ref].Read(kOutgoing - kTagLength),
              Message(ref, kOutgoing, 'a').substr(kTagLength))
        << ref;
  }

  EXPECT_EQ(Counter(1), kStreams);                       // OpensStarted
  EXPECT_EQ(Counter(2), kStreams);                       // ConnectsCompleted
  EXPECT_EQ(Counter(6), int32_t(kStreams * kIncoming));  // BytesReceived
  EXPECT_EQ(Counter(7), int32_t(kStreams * kOutgoing));  // BytesSent
  EXPECT_EQ(OpenCount(), kStreams);

  for (int32_t ref = 1; ref <= kStreams; ++ref) ASSERT_EQ(Release(ref), 0) << ref;
  EXPECT_EQ(Counter(5), kStreams);  // ReleasesClosing: none had been closed
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(TBTest_LivePointers(), records);
  peers.clear();
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
}  // namespace nettest
