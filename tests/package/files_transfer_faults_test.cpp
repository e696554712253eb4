// The file and picture transfers on a connected pair of the subsystem's own records (real
// sockets on 127.0.0.1, also under Windows), with the failures loopback does not produce on
// demand: reads, writes and closes that fail, blocks that cannot be had, failing sends, and
// a stream replaced during a yield.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/session.h"
#include "net/stream_identity.h"
#include "net/streams.h"
#include "net/transfer.h"
#include "package/file_transfer.h"
#include "package/files_test_support.h"
#include "package/picture_transfer.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus {
namespace {

using namespace files_test;
using platform::Calls;

constexpr int32_t kNoSpace = 28;

int32_t FailingSend(platform::Socket, const void*, int32_t, int32_t) {
  return platform::kSocketError;
}
int32_t ConnectionReset() {
  return platform::kWsaEConnReset;
}

class TransferFaultsTest : public testing::Test {
 protected:
  void SetUp() override {
    StartWinsockSession();  // WSAStartup on Windows
    // A listening record serves as the peer; once connected it is the accepted end.
    peer = OpenPassive(0, 0, 0x7F000001);
    ASSERT_NE(peer, nullptr);
    StreamEndpoints ends{};
    GetStreamAddresses(&peer, &ends);
    *slot = OpenActive("127.0.0.1", ends.localPort, 0, 0, 0);
    ASSERT_NE(*slot, nullptr);
    for (int i = 0; i < 1000 && PollStream(*slot, 0) == StateConnecting; ++i) YieldToHost();
    ASSERT_EQ(PollStream(*slot, 0), StateEstablished);
    ASSERT_EQ(PollStream(peer, 0), StateEstablished);
    globals->openStreamCount = 1;
  }
  void TearDown() override {
    platform::ResetSocketCalls();
    ReleaseStream(slot);
    ReleaseStream(&peer);
    EndWinsockSession();
    EXPECT_EQ(files.stillOpen(), 0) << "a file was left open";
    EXPECT_EQ(TBTest_LiveHandles(), handles) << "a block was leaked";
  }

  // What has reached the peer (small amounts: loopback delivers them at once).
  std::string PeerReceived() {
    std::string bytes;
    FourDText text{0, nullptr};
    for (int idle = 0; idle < 100; ++idle) {
      if (ReceiveIntoText(&peer, text, 0) > 0) bytes.append(*text.handle, text.length), idle = 0;
    }
    DisposeHandle(text.handle);
    return bytes;
  }
  void PeerSends(const std::string& bytes, bool thenClose) {
    ASSERT_EQ(SendBytes(&peer, bytes.data(), int32_t(bytes.size())), 0);
    if (thenClose) CloseStream(&peer);
  }
  // The transfers, the toolbox allowing `budget` allocations once the name is made.
  int32_t SendFile(const std::string& path, int32_t mode, int32_t chunk, int32_t budget = -1) {
    OwnedText name(path);
    TBTest_SetAllocationBudget(budget);
    const int32_t status = StreamSendFile(slot, *name, mode, chunk);
    TBTest_SetAllocationBudget(-1);
    return status;
  }
  int32_t ReceiveFile(const std::string& path, int32_t mode, bool append, int32_t budget = -1) {
    OwnedText name(path);
    TBTest_SetAllocationBudget(budget);
    const int32_t status = StreamReceiveFile(globals.get(), slot, *name, mode, append, 0);
    TBTest_SetAllocationBudget(-1);
    return status;
  }

  ScratchDir dir;
  CountingFiles files;
  int32_t handles = TBTest_LiveHandles();
  std::unique_ptr<PackageGlobals> globals = std::make_unique<PackageGlobals>();
  StreamRecord** slot = &globals->slots[1];
  StreamRecord* peer = nullptr;
};

TEST_F(TransferFaultsTest, SendFileStopsAtTheFirstFailureWithItsOwnResult) {
  const std::string bytes = PatternBytes(3000);
  WriteWhole(dir / "data", bytes);
  files.FailRead(2, 5);  // a failed read is no end of file
  EXPECT_EQ(SendFile(dir / "data", 0, 1000), -1);
  EXPECT_EQ(PeerReceived(), bytes.substr(0, 1000));
  EXPECT_EQ(SendFile(dir / "data", 0, 0, 0), memFullErr);  // no working block
  EXPECT_EQ(SendFile(dir / "data", 0, 0, 1), memFullErr);  // a block that cannot grow
  EXPECT_EQ(SendFile(dir / "data", 16, 0, 2), memFullErr) << "no room to encode the chunk";
  EXPECT_EQ(PeerReceived(), "") << "nothing is sent unconverted";
  Calls().send = FailingSend;
  Calls().lastError = ConnectionReset;
  EXPECT_EQ(SendFile(dir / "data", 0, 0), -1);
  EXPECT_EQ(files.opens(), 4);
}

TEST_F(TransferFaultsTest, ReceiveFileAppendsAndAnswersItsRelease) {
  WriteWhole(dir / "in", "kept;");
  PeerSends("all of it", true);
  EXPECT_EQ(ReceiveFile(dir / "in", 0, true), 0);
  EXPECT_EQ(ReadWhole(dir / "in"), "kept;all of it");
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(globals->openStreamCount, 0);
}

TEST_F(TransferFaultsTest, ReceivePiecesAreCappedForTheirConversion) {
  // Entity encoding makes 9000 "<" 36000 bytes; pieces of at most 4095 keep each in a Text.
  PeerSends(std::string(9000, '<'), true);
  EXPECT_EQ(ReceiveFile(dir / "in", 16, false), 0);
  std::string expected;
  for (int i = 0; i < 9000; ++i) expected += "&lt;";
  EXPECT_EQ(ReadWhole(dir / "in"), expected);
}

TEST_F(TransferFaultsTest, AFailedWriteFailsTheReceiveAndReleasesTheStream) {
  PeerSends("first piece", false);
  files.FailWrite(1, kNoSpace);
  EXPECT_EQ(ReceiveFile(dir / "in", 0, false), -1);
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(globals->openStreamCount, 0);
}

TEST_F(TransferFaultsTest, AFailedCloseFailsTheReceive) {
  PeerSends("everything", true);
  files.FailClose(1, kNoSpace);
  EXPECT_EQ(ReceiveFile(dir / "in", 0, false), -1);
  EXPECT_EQ(ReadWhole(dir / "in"), "everything");
}

TEST_F(TransferFaultsTest, AReceiveWithoutRoomStops) {
  PeerSends("data waiting", false);
  EXPECT_EQ(ReceiveFile(dir / "in", 0, false, 0), memFullErr);
  EXPECT_NE(*slot, nullptr) << "nothing was done: the stream stays";
  EXPECT_EQ(files.opens(), 0);
  EXPECT_EQ(ReceiveFile(dir / "in", 0, false, 1), memFullErr);  // no room for a piece
  EXPECT_EQ(*slot, nullptr);
}

TEST_F(TransferFaultsTest, PicturesGoInPiecesOf32000WithTheRemainderFirst) {
  auto pieces = [](int64_t first, int64_t end, int64_t size) {
    std::vector<int32_t> result;
    for (int64_t p = first; p < end && p < size; p += result.back()) {
      result.push_back(PicturePieceAt(p, end, size));
    }
    return result;
  };
  EXPECT_EQ(pieces(0, 70000, 70000), (std::vector<int32_t>{6000, 32000, 32000}));
  EXPECT_EQ(pieces(0, 32000, 32001), (std::vector<int32_t>{1, 32000}));
  EXPECT_EQ(pieces(512, 9001, 10000), (std::vector<int32_t>{8490}));
  EXPECT_EQ(pieces(5, INT32_MAX, 20), (std::vector<int32_t>{15}));
}

TEST_F(TransferFaultsTest, ThePicturesLockStateIsRestoredOnEveryPath) {
  const std::string gif = "GIF89a" + std::string(100, 'g');
  for (bool locked : {false, true}) {
    Handle block = BlockOf(gif);
    if (locked) HLock(block);
    const int8_t state = HGetState(block);
    EXPECT_EQ(StreamSendPicture(slot, block, 0, 0), 0);
    EXPECT_EQ(HGetState(block), state);
    Calls().send = FailingSend;
    Calls().lastError = ConnectionReset;
    EXPECT_EQ(StreamSendPicture(slot, block, 0, 0), -1);
    EXPECT_EQ(HGetState(block), state);
    platform::ResetSocketCalls();
    DisposeHandle(block);
  }
  EXPECT_EQ(PeerReceived(), gif + gif);
}

TEST_F(TransferFaultsTest, ANewRecordInTheSameSlotAtTheSameAddressIsAnotherStream) {
  const HeldStream held(slot);
  EXPECT_TRUE(held.Present());
  EXPECT_EQ(HeldStream(slot).mark(), held.mark()) << "routines share the mark";
  const uint32_t mark = (*slot)->identityMark;
  (*slot)->identityMark = 0;  // as a new zero-filled record in the same place would be
  EXPECT_FALSE(held.Present());
  EXPECT_EQ(held.Record(), nullptr);
  (*slot)->identityMark = mark;
  EXPECT_TRUE(held.Present());
  StreamRecord* empty = nullptr;
  OwnedText name(dir / "x");
  EXPECT_EQ(StreamSendFile(&empty, *name, 0, 0), -1);
  EXPECT_EQ(StreamReceiveFile(globals.get(), &empty, *name, 0, false, 0), -1);
}

}  // namespace
}  // namespace nimbus
