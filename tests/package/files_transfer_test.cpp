// StreamSendFile, StreamReceiveFile and StreamSendPicture through FourDPack, with peers on
// 127.0.0.1: files whole and byte-exact, conversions, memory that stays flat, time-outs,
// peers that vanish, streams released by other processes, and no file left open.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "net/net_support.h"
#include "package/files_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace nettest {
namespace {

using files_test::Checksum;
using files_test::PatternBytes;
using files_test::ReadWhole;
using files_test::ScratchDir;
using files_test::WriteWhole;

const std::string kStart = "\xFF\xD8";
const std::string kEnd = "\xFF\xD9";

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The files (not sockets or pipes) this process has open.
int OpenFiles() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(entry.path(), error);
    if (!error && target.is_absolute()) ++count;
  }
  return count;
}

// The toolbox's live block count, sampled by a process of its own at every yield while a
// transfer runs.
struct BlockSampler {
  int32_t fewest = INT32_MAX;
  int32_t most = 0;
  int32_t samples = 0;
  bool done = false;
};

class FileTransferTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    ref = Connected(listener, &peer);
    files = OpenFiles();
  }
  void TearDown() override {
    EXPECT_EQ(OpenFiles(), files) << "a file was left open";
    NetTest::TearDown();
  }

  int32_t SendFile(int32_t stream, const std::string& path, int32_t mode = 0, int32_t chunk = 0) {
    return Longint("StreamSendFile", {Value::Longint(stream), Value::Text(path),
                                      Value::Longint(mode), Value::Longint(chunk)});
  }
  int32_t ReceiveFile(int32_t stream, const std::string& path, int32_t mode = 0, int32_t append = 0,
                      int32_t timeout = 0) {
    return Longint("StreamReceiveFile",
                   {Value::Longint(stream), Value::Text(path), Value::Longint(mode),
                    Value::Longint(append), Value::Longint(timeout)});
  }
  int32_t SendPicture(const std::string& block, int32_t first = 0, int32_t last = 0) {
    return Longint("StreamSendPicture", {Value::Longint(ref), Value::Block(block),
                                         Value::Longint(first), Value::Longint(last)});
  }

  // Sends the file while the peer reads `expected.size()` bytes; the status and what came.
  int32_t SendAndRead(const std::string& path, size_t expected, std::string* got, int32_t mode = 0,
                      int32_t chunk = 0) {
    std::thread reader([&] { *got = peer.Read(expected); });
    const int32_t status = SendFile(ref, path, mode, chunk);
    reader.join();
    return status;
  }

  // Receives into the file while the peer sends the bytes and closes.
  int32_t ReceiveFrom(const std::string& bytes, const std::string& path, int32_t mode = 0,
                      int32_t append = 0) {
    std::thread sender([&] {
      peer.SendAll(bytes);
      peer.Close();
    });
    const int32_t status = ReceiveFile(ref, path, mode, append);
    sender.join();
    return status;
  }

  void StartSampler(BlockSampler* sampler) {
    host.StartProcess("sampler", [sampler] {
      while (!sampler->done) {
        const int32_t live = TBTest_LiveHandles();
        sampler->fewest = std::min(sampler->fewest, live);
        sampler->most = std::max(sampler->most, live);
        sampler->samples += 1;
        YieldToHost();
      }
    });
  }
  void StopSampler(BlockSampler* sampler) {
    sampler->done = true;
    host.RunProcesses();
  }

  ScratchDir dir;
  PeerListener listener;
  PeerSocket peer;
  int32_t ref = 0;
  int files = 0;
};

TEST_F(FileTransferTest, FilesAreSentWholeAndByteExact) {
  // Empty, one byte, exactly one default chunk, three chunks (16384, 16384, 7232), more.
  int32_t sent = 0;
  for (size_t size : {0, 1, 16384, 40000, 100001}) {
    sent += int32_t(size);
    const std::string bytes = PatternBytes(size, uint32_t(size));
    const std::string path = dir / "out";
    WriteWhole(path, bytes);
    std::string got;
    EXPECT_EQ(SendAndRead(path, size, &got), 0) << size;
    EXPECT_EQ(got.size(), size);
    EXPECT_EQ(Checksum(got), Checksum(bytes)) << size;
    EXPECT_TRUE(peer.Quiet()) << "nothing beyond the file";
  }
  EXPECT_EQ(State(ref), 8);
  EXPECT_EQ(Counter(7), sent);  // BytesSent
}

TEST_F(FileTransferTest, ChunkSizesAboveWhatATextHoldsAreReduced) {
  const std::string bytes = PatternBytes(200000);
  WriteWhole(dir / "big", bytes);
  for (int32_t chunk : {1000, 32767, 32768, 100000, INT32_MAX, -5}) {
    std::string got;
    EXPECT_EQ(SendAndRead(dir / "big", bytes.size(), &got, 0, chunk), 0) << chunk;
    EXPECT_EQ(Checksum(got), Checksum(bytes)) << chunk;
  }
}

TEST_F(FileTransferTest, SendingConvertsEachChunk) {
  // CR to CR LF, with chunks capped so that no converted chunk passes a Text's 32767 bytes.
  const std::string lines = std::string(20000, '\r') + PatternBytes(50000);
  WriteWhole(dir / "lines", lines);
  const std::string crlf = ReplaceAll(lines, "\r", "\r\n");
  std::string got;
  EXPECT_EQ(SendAndRead(dir / "lines", crlf.size(), &got, 4, 32767), 0);
  EXPECT_EQ(Checksum(got), Checksum(crlf));
  EXPECT_TRUE(peer.Quiet());

  // Entity encoding grows a chunk up to eight times.
  std::string html;
  for (int i = 0; i < 9000; ++i) html += "x<y>&z ";
  WriteWhole(dir / "html", html);
  const std::string encoded =
      ReplaceAll(ReplaceAll(ReplaceAll(html, "&", "&amp;"), "<", "&lt;"), ">", "&gt;");
  EXPECT_EQ(SendAndRead(dir / "html", encoded.size(), &got, 16), 0);
  EXPECT_EQ(Checksum(got), Checksum(encoded));
  EXPECT_TRUE(peer.Quiet());
}

TEST_F(FileTransferTest, PendingOutputLeavesBeforeTheFile) {
  WriteWhole(dir / "body", "the body");
  EXPECT_EQ(Send(ref, "header;", 1), 7);  // buffered
  std::string got;
  EXPECT_EQ(SendAndRead(dir / "body", 15, &got), 0);
  EXPECT_EQ(got, "header;the body");
}

TEST_F(FileTransferTest, ASeveralMiBFileKeepsMemoryFlat) {
  const std::string bytes = PatternBytes(6 << 20, 7);
  WriteWhole(dir / "large", bytes);
  BlockSampler sending;
  StartSampler(&sending);
  std::string got;
  EXPECT_EQ(SendAndRead(dir / "large", bytes.size(), &got), 0);
  StopSampler(&sending);
  EXPECT_EQ(Checksum(got), Checksum(bytes));
  EXPECT_GT(sending.samples, 300) << "the sampler ran during the transfer";
  EXPECT_LE(sending.most - sending.fewest, 3);

  BlockSampler receiving;
  StartSampler(&receiving);
  EXPECT_EQ(ReceiveFrom(bytes, dir / "received"), 0);
  StopSampler(&receiving);
  EXPECT_EQ(Checksum(ReadWhole(dir / "received")), Checksum(bytes));
  EXPECT_GT(receiving.samples, 100);
  EXPECT_LE(receiving.most - receiving.fewest, 3);
}

TEST_F(FileTransferTest, SendFileFailuresLeaveTheStreamAsItWas) {
  EXPECT_EQ(SendFile(ref, dir / "missing"), -1);
  EXPECT_EQ(SendFile(ref, dir.path().string()), -1);
  // A name of 255 characters or more is no name, even when the file exists.
  std::string longest = dir / "";
  longest.append(254 - longest.size(), 'n');
  WriteWhole(longest, "x");
  WriteWhole(longest + "n", "x");
  std::string got;
  EXPECT_EQ(SendAndRead(longest, 1, &got), 0);
  EXPECT_EQ(got, "x");
  EXPECT_EQ(SendFile(ref, longest + "n"), -1);
  EXPECT_EQ(SendFile(0, dir / "missing"), -1);
  EXPECT_EQ(SendFile(1023, dir / "missing"), -1);
  EXPECT_EQ(State(ref), 8);
  EXPECT_TRUE(peer.Quiet());
  // A datagram endpoint carries no file.
  const int32_t datagram = DatagramOpen();
  WriteWhole(dir / "data", "data");
  EXPECT_EQ(SendFile(datagram, dir / "data"), -1);
  EXPECT_EQ(ReceiveFile(datagram, dir / "into"), -1);
  EXPECT_EQ(Longint("DatagramClose", {Value::Longint(datagram)}), 0);
}

TEST_F(FileTransferTest, APeerThatVanishesStopsTheSend) {
  const std::string bytes = PatternBytes(8 << 20, 3);
  WriteWhole(dir / "large", bytes);
  std::thread vanisher([&] {
    peer.Read(100000);
    peer.Reset();
  });
  const int32_t status = SendFile(ref, dir / "large");
  vanisher.join();
  EXPECT_TRUE(status == -1 || status >= 14) << status;
  EXPECT_EQ(Release(ref), 0);
}

TEST_F(FileTransferTest, FilesAreReceivedWholeAndTheStreamReleased) {
  const int32_t count = OpenCount();
  for (size_t size : {0, 1, 16384, 70000}) {
    if (size > 0) {  // a fresh stream for each file: the receive releases it
      ref = Connected(listener, &peer);
    }
    const std::string bytes = PatternBytes(size, uint32_t(size) + 1);
    const std::string path = dir / ("in" + std::to_string(size));
    EXPECT_EQ(ReceiveFrom(bytes, path), 0) << size;
    EXPECT_EQ(Checksum(ReadWhole(path)), Checksum(bytes)) << size;
    EXPECT_EQ(State(ref), -1) << "the reference is no longer valid";
    EXPECT_EQ(OpenCount(), count - 1);
  }
}

TEST_F(FileTransferTest, ReceivingConvertsEachPiece) {
  const std::string lines = std::string(40000, '\r') + "end";
  EXPECT_EQ(ReceiveFrom(lines, dir / "lines", 4), 0);
  EXPECT_EQ(Checksum(ReadWhole(dir / "lines")), Checksum(ReplaceAll(lines, "\r", "\r\n")));
}

TEST_F(FileTransferTest, AppendKeepsWhatTheFileHeldAndCreateEmptiesIt) {
  const std::string before = PatternBytes(100, 5);
  WriteWhole(dir / "appended", before);
  WriteWhole(dir / "created", before);
  EXPECT_EQ(ReceiveFrom("received data", dir / "appended", 0, 1), 0);
  EXPECT_EQ(ReadWhole(dir / "appended"), before + "received data");

  ref = Connected(listener, &peer);
  EXPECT_EQ(ReceiveFrom("received data", dir / "created", 0, 0), 0);
  EXPECT_EQ(ReadWhole(dir / "created"), "received data");

  ref = Connected(listener, &peer);
  EXPECT_EQ(ReceiveFrom("new file", dir / "missing", 0, 1), 0);  // append creates it
  EXPECT_EQ(ReadWhole(dir / "missing"), "new file");
}

TEST_F(FileTransferTest, TheIdleTimeOutReleasesTheStream) {
  const int32_t count = OpenCount();
  peer.SendAll("early");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReceiveFile(ref, dir / "idle", 0, 0, 1), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(ReadWhole(dir / "idle"), "early");
  EXPECT_EQ(State(ref), -1);
  EXPECT_EQ(OpenCount(), count - 1);
  std::string rest;
  EXPECT_TRUE(peer.ReadToEnd(&rest)) << "the package closed its side";
}

TEST_F(FileTransferTest, APeerThatResetsEndsTheReceiveWithWhatArrived) {
  const int32_t count = OpenCount();
  const std::string bytes = PatternBytes(50000, 9);
  peer.SendAll(bytes);
  peer.Reset();
  ReceiveFile(ref, dir / "partial");
  const std::string got = ReadWhole(dir / "partial");
  EXPECT_EQ(got, bytes.substr(0, got.size())) << "what arrived is written in order";
  EXPECT_EQ(State(ref), -1);
  EXPECT_EQ(OpenCount(), count - 1);
}

TEST_F(FileTransferTest, AFileThatCannotBeOpenedKeepsTheStream) {
  const int32_t count = OpenCount();
  EXPECT_EQ(ReceiveFile(ref, dir / "no/such/dir"), -1);
  EXPECT_EQ(ReceiveFile(ref, dir.path().string()), -1);
  EXPECT_EQ(ReceiveFile(ref, dir / std::string(300, 'n')), -1);
  EXPECT_EQ(ReceiveFile(ref, ""), -1);
  EXPECT_EQ(ReceiveFile(1023, dir / "x"), -1);
  EXPECT_EQ(State(ref), 8);
  EXPECT_EQ(OpenCount(), count);
  EXPECT_FALSE(files_test::Exists(dir / "x"));
}

TEST_F(FileTransferTest, AStreamReleasedByAnotherProcessEndsTheReceive) {
  const int32_t count = OpenCount();
  int32_t received = 0;
  host.StartProcess("receiver", [&] { received = ReceiveFile(ref, dir / "cut"); });
  host.StartProcess("releaser", [&] { EXPECT_EQ(Release(ref), 0); });
  host.RunProcesses();
  EXPECT_EQ(received, -1);
  EXPECT_EQ(OpenCount(), count - 1);
}

TEST_F(FileTransferTest, ASlotTakenAgainMeanwhileIsNotReleasedByTheReceive) {
  const int32_t count = OpenCount();
  PeerSocket second;
  int32_t received = 0;
  int32_t reopened = 0;
  host.StartProcess("receiver", [&] { received = ReceiveFile(ref, dir / "cut"); });
  host.StartProcess("reopener", [&] {
    EXPECT_EQ(Release(ref), 0);
    reopened = Open(listener.port());  // takes the lowest free slot: the same one
    second = listener.Accept();
  });
  host.RunProcesses();
  EXPECT_EQ(reopened, ref);
  EXPECT_EQ(received, -1);
  EXPECT_EQ(OpenCount(), count);
  EXPECT_EQ(Wait(reopened, 8, 5), 8);
  EXPECT_EQ(Release(reopened), 0);
}

TEST_F(FileTransferTest, AGifIsSentWholeInPiecesOf32000) {
  const std::string gif = "GIF89a" + PatternBytes(70000 - 6, 11);
  std::string got;
  std::thread reader([&] { got = peer.Read(gif.size()); });
  EXPECT_EQ(SendPicture(gif), 0);
  reader.join();
  EXPECT_EQ(Checksum(got), Checksum(gif));
  EXPECT_TRUE(peer.Quiet());
}

TEST_F(FileTransferTest, TheJpegInsideAPictureIsSent) {
  std::string picture = files_test::WithoutMarkers(PatternBytes(10000, 13));
  picture.replace(512, 2, kStart);
  picture.replace(9000, 2, kEnd);
  EXPECT_EQ(SendPicture(picture), 0);
  EXPECT_EQ(peer.Read(8490), picture.substr(512, 8490));
  EXPECT_TRUE(peer.Quiet());
}

TEST_F(FileTransferTest, PicturesWithoutAnImageSendNothing) {
  EXPECT_EQ(SendPicture(kStart + "only a start marker at offset 0" + kEnd), -1);
  EXPECT_EQ(SendPicture("no image here"), -1);
  EXPECT_EQ(SendPicture(""), -1);
  EXPECT_EQ(Longint("StreamSendPicture", {Value::Longint(ref), Value::NullBlock(),
                                          Value::Longint(0), Value::Longint(0)}),
            -1);
  EXPECT_EQ(Longint("StreamSendPicture", {Value::Longint(0), Value::Block("GIF89a"),
                                          Value::Longint(0), Value::Longint(0)}),
            -1);
  EXPECT_TRUE(peer.Quiet());
}

TEST_F(FileTransferTest, ExplicitOffsetsSendTheirRangeButNothingOutsideTheBlock) {
  const std::string block = "0123456789abcdefghij";  // 20 bytes
  EXPECT_EQ(SendPicture(block, 10, 10), 0);          // ends where it starts: nothing
  EXPECT_EQ(SendPicture(block, 12, 11), 0);
  EXPECT_TRUE(peer.Quiet());
  EXPECT_EQ(SendPicture(block, 10, 13), 0);
  EXPECT_EQ(peer.Read(4), "abcd");
  EXPECT_EQ(SendPicture(block, 15, 0), 0);  // last offset 0: through the block's end
  EXPECT_EQ(peer.Read(5), "fghij");
  EXPECT_EQ(SendPicture(block, 5, 1000), 0);
  EXPECT_EQ(peer.Read(15), block.substr(5));
  EXPECT_EQ(SendPicture(block, 30, 40), 0);  // wholly past the end
  EXPECT_EQ(SendPicture(block, -5, 3), -1);
  EXPECT_EQ(SendPicture(block, 0, -1), 0);
  EXPECT_TRUE(peer.Quiet());
}

TEST_F(FileTransferTest, BlocksGoToFilesAndBackThroughTheEntryPoint) {
  std::string picture = files_test::WithoutMarkers(PatternBytes(3000, 17));
  picture.replace(100, 2, kStart);
  picture.replace(2000, 2, kEnd);
  EXPECT_EQ(Longint("BlobToFile", {Value::Block(picture), Value::Text(dir / "jpeg")}), 0);
  const standin::CallResult loaded = host.Call("FileToBlob", {Value::Text(dir / "jpeg")});
  ASSERT_FALSE(loaded.result.isNull);
  EXPECT_EQ(loaded.result.bytes, picture.substr(100, 1902));

  EXPECT_GT(Longint("BlobToFile", {Value::Block("x"), Value::Text(std::string(255, 'n'))}), 0);
  EXPECT_EQ(Longint("BlobToFile", {Value::NullBlock(), Value::Text(dir / "null")}), -1);
  EXPECT_FALSE(files_test::Exists(dir / "null"));
  EXPECT_TRUE(host.Call("FileToBlob", {Value::Text(dir / "missing")}).result.isNull);
  WriteWhole(dir / "empty", "");
  const standin::CallResult empty = host.Call("FileToBlob", {Value::Text(dir / "empty")});
  EXPECT_FALSE(empty.result.isNull);
  EXPECT_EQ(empty.result.bytes, "");
}

}  // namespace
}  // namespace nettest
