// Every routine that yields, with another 4D process acting during its first yield: that
// process releases the stream and opens a new one into the same reference, buffers output
// on it, and has the new peer send to it. The routine must answer -1 and leave the new
// stream as it found it: its state, its pending output, the bytes waiting on it, and its
// peer hears nothing of the old stream's work. Without the check, the record of the new
// stream often sits at the old one's address, so comparing addresses alone would not do.
#include <functional>
#include <string>

#include "net/net_support.h"
#include "package/files_test_support.h"

namespace nettest {
namespace {

using namespace files_test;

const std::string kForNewStream = "sent to the new stream";
const std::string kNewPending = "buffered on the new stream";

class YieldingRoutinesTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    ref = Connected(listener, &oldPeer);
  }

  // Runs the routine in a process of its own while another process, at the routine's first
  // yield, replaces the stream. Answers what the routine answered.
  int32_t RunWhileReplaced(const std::function<int32_t()>& routine) {
    int32_t answer = kUntouched;
    bool replaced = false;
    host.StartProcess("routine", [&] { answer = routine(); });
    host.StartProcess("replacer", [&] {
      // Nothing here yields, so the routine resumes only once all of it is done.
      EXPECT_EQ(Release(ref), 0);
      EXPECT_EQ(Open(listener.port(), ref), ref);
      newPeer = listener.Accept();
      ASSERT_TRUE(newPeer.valid());
      newPeer.SendAll(kForNewStream);
      EXPECT_EQ(Send(ref, kNewPending, 1), int32_t(kNewPending.size()));
      replaced = true;
    });
    host.RunProcesses();
    EXPECT_TRUE(replaced);
    return answer;
  }

  // The new stream is as the other process left it.
  void ExpectNewStreamUntouched() {
    EXPECT_EQ(OpenCount(), 1);
    EXPECT_EQ(Wait(ref, 8, 5), 8) << "the new stream was closed or broken";
    EXPECT_EQ(Longint("StreamBytesAvailable", {Value::Longint(ref)}), int32_t(kForNewStream.size()))
        << "its waiting bytes were taken";
    EXPECT_EQ(Send(ref, "", 0), 0);  // flushes its pending output
    EXPECT_EQ(newPeer.Read(kNewPending.size()), kNewPending)
        << "its peer got other bytes, or its pending output was changed";
    EXPECT_TRUE(newPeer.Quiet());
    std::string received;
    EXPECT_EQ(Receive(ref, &received), int32_t(kForNewStream.size()));
    EXPECT_EQ(received, kForNewStream);
  }

  int32_t SendFile(const std::string& path) {
    return Longint("StreamSendFile", {Value::Longint(ref), Value::Text(path), Value::Longint(0),
                                      Value::Longint(1024)});
  }
  int32_t SendPicture(const std::string& block, int32_t first = 0, int32_t last = 0) {
    return Longint("StreamSendPicture", {Value::Longint(ref), Value::Block(block),
                                         Value::Longint(first), Value::Longint(last)});
  }

  PeerListener listener;
  PeerSocket oldPeer, newPeer;
  int32_t ref = 0;
  ScratchDir dir;
};

TEST_F(YieldingRoutinesTest, SendTextWhoseSendYields) {
  const std::string text(5000, 's');  // five sends, a yield after each
  EXPECT_EQ(RunWhileReplaced([&] { return Send(ref, text, 0); }), -1);
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, SendTextWhoseFlushOfPendingOutputYields) {
  ASSERT_EQ(Send(ref, "pending", 1), 7);
  const std::string text(32100, 'z');  // would pass 32000 with what is pending: flush first
  EXPECT_EQ(RunWhileReplaced([&] { return Send(ref, text, 1); }), -1);
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, CloseWhoseFlushYields) {
  ASSERT_EQ(Send(ref, "pending", 1), 7);
  EXPECT_EQ(RunWhileReplaced([&] { return Close(ref); }), -1);
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, ReceiveTextWhoseFlushYieldsLeavesTheTextAlone) {
  ASSERT_EQ(Send(ref, "pending", 1), 7);
  std::string text;
  // Mode 2 (ISO to Mac) would change the Text were it converted after all.
  const int32_t answer = RunWhileReplaced([&] {
    const standin::CallResult call = host.Call(
        "StreamReceiveText",
        {Value::Longint(ref), Value::Text("old \xE9"), Value::Longint(0), Value::Longint(2)});
    text = call.params[1].bytes;
    return call.result.longint;
  });
  EXPECT_EQ(answer, -1);
  EXPECT_EQ(text, "old \xE9");
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, WaitStateAnswersAsForAReleasedStream) {
  // Waiting for 14 on an established stream; the new stream would never reach it either.
  EXPECT_EQ(RunWhileReplaced([&] { return Wait(ref, 14, 3); }), -1);
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, SendFileWhoseChunkSendYields) {
  WriteWhole(dir / "out", PatternBytes(5000, 3));
  EXPECT_EQ(RunWhileReplaced([&] { return SendFile(dir / "out"); }), -1);
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, SendFileWhoseFlushOfPendingOutputYields) {
  ASSERT_EQ(Send(ref, "pending", 1), 7);
  WriteWhole(dir / "out", PatternBytes(5000, 3));
  EXPECT_EQ(RunWhileReplaced([&] { return SendFile(dir / "out"); }), -1);
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, ReceiveFileNeitherReadsNorReleasesTheNewStream) {
  const int32_t answer = RunWhileReplaced([&] {
    return Longint("StreamReceiveFile", {Value::Longint(ref), Value::Text(dir / "in"),
                                         Value::Longint(0), Value::Longint(0), Value::Longint(0)});
  });
  EXPECT_EQ(answer, -1);
  EXPECT_EQ(ReadWhole(dir / "in"), "");
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, SendPictureWhosePieceSendYields) {
  const std::string gif = "GIF89a" + PatternBytes(70000 - 6, 5);
  EXPECT_EQ(RunWhileReplaced([&] { return SendPicture(gif); }), -1);
  ExpectNewStreamUntouched();
}

TEST_F(YieldingRoutinesTest, SendBlobRangeWhoseFlushOfPendingOutputYields) {
  ASSERT_EQ(Send(ref, "pending", 1), 7);
  const std::string blob = PatternBytes(3000, 9);
  EXPECT_EQ(RunWhileReplaced([&] { return SendPicture(blob, 100, 2000); }), -1);
  ExpectNewStreamUntouched();
}

}  // namespace
}  // namespace nettest
