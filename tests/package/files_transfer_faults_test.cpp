// Failures of the file and picture transfers that loopback does not produce on demand: reads,
// writes and closes that fail, blocks that cannot be had, sends that fail, streams replaced
// during a yield. The operations run on a connected pair of the subsystem's own records.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/session.h"
#include "net/streams.h"
#include "net/transfer.h"
#include "package/file_transfer.h"
#include "package/files_test_support.h"
#include "package/picture_transfer.h"
#include "package/stream_identity.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus {
namespace {

using files_test::CountingFiles;
using files_test::OwnedText;
using files_test::PatternBytes;
using files_test::ReadWhole;
using files_test::ScratchDir;
using files_test::WriteWhole;
using platform::Calls;

constexpr uint32_t kLoopback = 0x7F000001;
constexpr int32_t kNoSpace = 28;
constexpr int32_t kReference = 1;

class TransferFaultsTest : public testing::Test {
 protected:
  void SetUp() override {
    handlesBefore = TBTest_LiveHandles();
    StartWinsockSession();
    globals = std::make_unique<PackageGlobals>();
    // A listening record serves as the peer; once connected it is the accepted end.
    peer = OpenPassive(0, 0, kLoopback);
    ASSERT_NE(peer, nullptr);
    StreamEndpoints ends{};
    GetStreamAddresses(&peer, &ends);
    StreamRecord* stream = OpenActive("127.0.0.1", ends.localPort, 0, 0, 0);
    ASSERT_NE(stream, nullptr);
    for (int i = 0; i < 1000 && PollStream(stream, 0) == StateConnecting; ++i) {
    }
    ASSERT_EQ(PollStream(stream, 0), StateEstablished);
    ASSERT_EQ(PollStream(peer, 0), StateEstablished);
    slot = &globals->slots[kReference];
    *slot = stream;
    globals->openStreamCount = 1;
  }
  void TearDown() override {
    platform::ResetSocketCalls();
    TBTest_SetAllocationBudget(-1);
    if (*slot != nullptr) ReleaseStream(slot);
    ReleaseStream(&peer);
    EndWinsockSession();
    EXPECT_EQ(files.stillOpen(), 0) << "a file was left open";
    EXPECT_EQ(TBTest_LiveHandles(), handlesBefore) << "a block was leaked";
    EXPECT_EQ(TBTest_UnknownBlockUses(), 0);
  }

  // Everything that has reached the peer (small amounts: loopback delivers at once).
  std::string PeerReceived() {
    std::string bytes;
    FourDText text{0, nullptr};
    for (int idle = 0; idle < 200;) {
      const int32_t n = ReceiveIntoText(&peer, text, 0);
      if (n > 0) {
        bytes.append(*text.handle, size_t(text.length));
        idle = 0;
      } else {
        ++idle;
        YieldToHost();
      }
    }
    if (text.handle != nullptr) DisposeHandle(text.handle);
    return bytes;
  }
  void PeerSends(const std::string& bytes) {
    ASSERT_EQ(SendBytes(&peer, bytes.data(), int32_t(bytes.size())), 0);
  }

  // The transfers, with the toolbox allowing `budget` allocations once the name is made.
  int32_t SendFile(const std::string& path, int32_t mode = 0, int32_t chunk = 0,
                   int32_t budget = -1) {
    OwnedText name(path);
    TBTest_SetAllocationBudget(budget);
    const int32_t status = StreamSendFile(slot, *name, mode, chunk);
    TBTest_SetAllocationBudget(-1);
    return status;
  }
  int32_t ReceiveFile(const std::string& path, int32_t mode = 0, int32_t budget = -1) {
    OwnedText name(path);
    TBTest_SetAllocationBudget(budget);
    const int32_t status = StreamReceiveFile(globals.get(), slot, *name, mode, false, 0);
    TBTest_SetAllocationBudget(-1);
    return status;
  }

  ScratchDir dir;
  CountingFiles files;
  std::unique_ptr<PackageGlobals> globals;
  StreamRecord** slot = nullptr;
  StreamRecord* peer = nullptr;
  int32_t handlesBefore = 0;
};

TEST_F(TransferFaultsTest, AFailedReadEndsTheSendWithAFailure) {
  const std::string bytes = PatternBytes(3000);
  WriteWhole(dir / "data", bytes);
  files.FailRead(2, 5);
  EXPECT_EQ(SendFile(dir / "data", 0, 1000), -1);
  EXPECT_EQ(PeerReceived(), bytes.substr(0, 1000));
  EXPECT_EQ(files.opens(), 1);
}

TEST_F(TransferFaultsTest, AWorkingBlockThatCannotBeHadOrGrownEndsTheSend) {
  WriteWhole(dir / "data", "some data");
  EXPECT_EQ(SendFile(dir / "data", 0, 0, 0), memFullErr);
  EXPECT_EQ(files.opens(), 0);
  // The empty block, but no room for a chunk.
  EXPECT_EQ(SendFile(dir / "data", 0, 0, 1), memFullErr);
  EXPECT_EQ(files.opens(), 1);
  EXPECT_EQ(PeerReceived(), "");
}

TEST_F(TransferFaultsTest, AChunkThatCannotBeConvertedIsNotSentUnconverted) {
  WriteWhole(dir / "data", "a<b");
  // The block and its chunk, but not the encoded text.
  EXPECT_NE(SendFile(dir / "data", 16, 0, 2), 0);
  EXPECT_EQ(PeerReceived(), "");
}

TEST_F(TransferFaultsTest, AFailedSendEndsTheFileSend) {
  WriteWhole(dir / "data", PatternBytes(3000));
  Calls().send = [](platform::Socket, const void*, int32_t, int32_t) {
    return platform::kSocketError;
  };
  Calls().lastError = [] { return platform::kWsaEConnReset; };
  EXPECT_EQ(SendFile(dir / "data"), -1);
  EXPECT_EQ(files.opens(), 1);
}

TEST_F(TransferFaultsTest, AFailedWriteStopsTheReceiveAndReleasesTheStream) {
  PeerSends("first piece");
  files.FailWrite(1, kNoSpace);
  EXPECT_EQ(ReceiveFile(dir / "in"), -1);
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(globals->openStreamCount, 0);
  EXPECT_EQ(files.opens(), 1);
}

TEST_F(TransferFaultsTest, AFailedCloseFailsTheReceive) {
  PeerSends("everything");
  CloseStream(&peer);
  files.FailClose(1, kNoSpace);
  EXPECT_EQ(ReceiveFile(dir / "in"), -1);
  EXPECT_EQ(ReadWhole(dir / "in"), "everything");
  EXPECT_EQ(*slot, nullptr);
}

TEST_F(TransferFaultsTest, TheReceiveWithoutRoomForAPieceStops) {
  PeerSends("data waiting");
  EXPECT_EQ(ReceiveFile(dir / "in", 0, 0), memFullErr);
  EXPECT_EQ(files.opens(), 0);
  EXPECT_NE(*slot, nullptr) << "nothing was done: the stream stays";
  // The empty block, but no room to receive into.
  EXPECT_EQ(ReceiveFile(dir / "in", 0, 1), memFullErr);
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(globals->openStreamCount, 0);
}

TEST_F(TransferFaultsTest, ACleanReceiveAnswersItsRelease) {
  PeerSends("all of it");
  CloseStream(&peer);
  EXPECT_EQ(ReceiveFile(dir / "in"), 0);
  EXPECT_EQ(ReadWhole(dir / "in"), "all of it");
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(globals->openStreamCount, 0);
}

TEST_F(TransferFaultsTest, ReceivePiecesAreCappedForTheirConversion) {
  // Entity encoding makes 9000 "<" 36000 bytes: taken in pieces of at most 4095, each stays
  // within a Text's 32767 bytes.
  PeerSends(std::string(9000, '<'));
  CloseStream(&peer);
  EXPECT_EQ(ReceiveFile(dir / "in", 16), 0);
  std::string expected;
  for (int i = 0; i < 9000; ++i) expected += "&lt;";
  EXPECT_EQ(ReadWhole(dir / "in"), expected);
}

TEST_F(TransferFaultsTest, EmptySlotsAreRefused) {
  StreamRecord* empty = nullptr;
  OwnedText name(dir / "x");
  Handle block = files_test::BlockOf("GIF89a");
  EXPECT_EQ(StreamSendFile(&empty, *name, 0, 0), -1);
  EXPECT_EQ(StreamReceiveFile(globals.get(), &empty, *name, 0, false, 0), -1);
  EXPECT_EQ(StreamSendPicture(&empty, block, 0, 0), -1);
  DisposeHandle(block);
  EXPECT_EQ(files.opens(), 0);
}

TEST_F(TransferFaultsTest, PicturePiecesCarryTheRemainderFirst) {
  auto pieces = [](int64_t first, int64_t end, int64_t size) {
    std::vector<int32_t> result;
    for (int64_t p = first; p < end && p < size;) {
      result.push_back(PicturePieceAt(p, end, size));
      p += result.back();
    }
    return result;
  };
  EXPECT_EQ(pieces(0, 70000, 70000), (std::vector<int32_t>{6000, 32000, 32000}));
  EXPECT_EQ(pieces(0, 64000, 64000), (std::vector<int32_t>{32000, 32000}));
  EXPECT_EQ(pieces(0, 32000, 32001), (std::vector<int32_t>{1, 32000}));
  EXPECT_EQ(pieces(512, 9001, 10000), (std::vector<int32_t>{8490}));
  EXPECT_EQ(pieces(5, 1000, 20), (std::vector<int32_t>{15}));
  EXPECT_EQ(pieces(0, INT32_MAX, 100), (std::vector<int32_t>{100}));
}

TEST_F(TransferFaultsTest, ThePicturesLockStateIsRestoredOnEveryPath) {
  for (bool locked : {false, true}) {
    Handle block = files_test::BlockOf("GIF89a" + std::string(100, 'g'));
    if (locked) HLock(block);
    const int8_t state = HGetState(block);
    EXPECT_EQ(StreamSendPicture(slot, block, 0, 0), 0);
    EXPECT_EQ(HGetState(block), state);
    EXPECT_EQ(StreamSendPicture(slot, block, 200, 300), 0);  // past the end
    EXPECT_EQ(HGetState(block), state);
    Calls().send = [](platform::Socket, const void*, int32_t, int32_t) {
      return platform::kSocketError;
    };
    Calls().lastError = [] { return platform::kWsaEConnAborted; };
    EXPECT_EQ(StreamSendPicture(slot, block, 0, 0), -1);
    EXPECT_EQ(HGetState(block), state);
    platform::ResetSocketCalls();
    DisposeHandle(block);
  }
  EXPECT_EQ(PeerReceived(), "GIF89a" + std::string(100, 'g') + "GIF89a" + std::string(100, 'g'));
}

TEST_F(TransferFaultsTest, ANewRecordAtTheSameAddressIsAnotherStream) {
  const StreamIdentity identity = IdentifyStream(slot);
  EXPECT_TRUE(IsSameStream(slot, identity));
  EXPECT_EQ(IdentifyStream(slot).mark, identity.mark) << "a second routine shares the mark";
  const uint32_t mark = (*slot)->transferMark;
  (*slot)->transferMark = 0;  // as a zero-filled record in the same place would be
  EXPECT_FALSE(IsSameStream(slot, identity));
  (*slot)->transferMark = mark;
  StreamRecord* record = *slot;
  *slot = nullptr;
  EXPECT_FALSE(IsSameStream(slot, identity));
  *slot = record;
}

}  // namespace
}  // namespace nimbus
