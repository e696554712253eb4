// StreamSendFile, StreamReceiveFile, StreamSendPicture, BlobToFile and FileToBlob through
// FourDPack, with peers on 127.0.0.1: files whole and byte-exact, conversions, memory that
// stays flat, time-outs, vanishing peers, streams released by other processes, and no file
// left open (the process's open files are counted before and after every test).
#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "net/net_support.h"
#include "package/files_test_support.h"
#include "text/literal_substitution.h"
#include "toolbox/toolbox_testing.h"

namespace nettest {
namespace {

using namespace files_test;

const std::string kStart = "\xFF\xD8", kEnd = "\xFF\xD9";

// A text that the conversions read across almost everywhere: CR LF, entities, numeric
// references (some spelling entity syntax), "&amp;" chains and "& ".
std::string ConversionFodder(size_t parts, uint32_t seed) {
  static const char* const kParts[] = {"\r",
                                       "\n",
                                       "\r\n",
                                       "&",
                                       "& ",
                                       "&amp;",
                                       "&lt;",
                                       "&Aacute;",
                                       "&#38;",
                                       "&#59;",
                                       "&#1",
                                       "&amp;lt;",
                                       "&#38;amp;gt;",
                                       "&Aacute&#59;",
                                       "amp",
                                       "lt",
                                       ";",
                                       "#",
                                       "x",
                                       " ",
                                       "<",
                                       "\x8E"};
  std::mt19937 random(seed);
  std::string text;
  for (size_t i = 0; i < parts; ++i) text += kParts[random() % std::size(kParts)];
  return text;
}

// The modes whose conversions read past a byte, alone and with others.
constexpr int32_t kLookingModes[] = {8, 32, 64, 40, 9, 36, 72};

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The files (not sockets or pipes) this process has open; -1 where the system does not list
// them (Windows has no /proc: the file-layer fault tests count opens and closes there).
int OpenFiles() {
  std::error_code missing;
  if (!fs::exists("/proc/self/fd", missing)) return -1;
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    count += fs::read_symlink(entry.path(), error).is_absolute();
  }
  return count;
}

class FileTransferTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    ref = Connected(listener, &peer);
    openFiles = OpenFiles();
  }
  void TearDown() override {
    if (openFiles >= 0) {
      EXPECT_EQ(OpenFiles(), openFiles) << "a file was left open";
    }
    NetTest::TearDown();
  }

  int32_t SendFile(int32_t stream, const std::string& path, int32_t mode = 0, int32_t chunk = 0) {
    return Longint("StreamSendFile", {Value::Longint(stream), Value::Text(path),
                                      Value::Longint(mode), Value::Longint(chunk)});
  }
  int32_t ReceiveFile(const std::string& path, int32_t mode = 0, int32_t append = 0,
                      int32_t timeout = 0) {
    return Longint("StreamReceiveFile",
                   {Value::Longint(ref), Value::Text(path), Value::Longint(mode),
                    Value::Longint(append), Value::Longint(timeout)});
  }
  int32_t SendPicture(const std::string& block, int32_t first = 0, int32_t last = 0) {
    return Longint("StreamSendPicture", {Value::Longint(ref), Value::Block(block),
                                         Value::Longint(first), Value::Longint(last)});
  }
  // Sends the file while the peer reads `expected` bytes; checks they came and no more.
  void ExpectSent(const std::string& path, const std::string& expected, int32_t mode = 0,
                  int32_t chunk = 0) {
    std::string got;
    std::thread reader([&] { got = peer.Read(expected.size()); });
    EXPECT_EQ(SendFile(ref, path, mode, chunk), 0);
    reader.join();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_EQ(Checksum(got), Checksum(expected)) << expected.size();
    EXPECT_TRUE(peer.Quiet());
  }
  // Receives into the file while the peer sends the bytes and closes, on a fresh stream.
  int32_t ReceiveFrom(const std::string& bytes, const std::string& path, int32_t mode = 0,
                      int32_t append = 0) {
    if (State(ref) != 8) ref = Connected(listener, &peer);
    std::thread sender([&] { peer.SendAll(bytes), peer.Close(); });
    const int32_t status = ReceiveFile(path, mode, append);
    sender.join();
    return status;
  }
  // Runs the transfer while a process of its own samples the live block count at each yield;
  // answers how far the count moved.
  int32_t BlockCountSpread(const std::function<void()>& transfer) {
    int32_t fewest = INT32_MAX, most = 0, samples = 0;
    bool done = false;
    host.StartProcess("sampler", [&] {
      for (; !done; ++samples, YieldToHost()) {
        fewest = std::min(fewest, TBTest_LiveHandles());
        most = std::max(most, TBTest_LiveHandles());
      }
    });
    transfer();
    done = true;
    host.RunProcesses();
    EXPECT_GT(samples, 100) << "the sampler ran during the transfer";
    return most - fewest;
  }

  int openFiles = 0;
  ScratchDir dir;
  PeerListener listener;
  PeerSocket peer;
  int32_t ref = 0;
};

TEST_F(FileTransferTest, FilesAreSentWholeAndByteExact) {
  // Empty, one byte, exactly one default chunk, chunks of 16384, 16384 and 7232; chunk
  // sizes beyond what a Text holds are reduced.
  for (size_t size : {0, 1, 16384, 40000}) {
    WriteWhole(dir / "out", PatternBytes(size, uint32_t(size)));
    ExpectSent(dir / "out", PatternBytes(size, uint32_t(size)));
  }
  WriteWhole(dir / "out", PatternBytes(200000));
  for (int32_t chunk : {1000, INT32_MAX}) {
    ExpectSent(dir / "out", PatternBytes(200000), 0, chunk);
  }
  EXPECT_EQ(State(ref), 8);
}

TEST_F(FileTransferTest, ChunksAreConvertedOnTheWayOut) {
  EXPECT_EQ(Send(ref, "header;", 1), 7);  // pending output leaves first
  WriteWhole(dir / "lines", std::string(20000, '\r') + PatternBytes(50000));
  ExpectSent(dir / "lines", "header;" + ReplaceAll(ReadWhole(dir / "lines"), "\r", "\r\n"), 4);
  std::string html;
  for (int i = 0; i < 9000; ++i) html += "x<y>&z ";
  WriteWhole(dir / "html", html);
  html = ReplaceAll(ReplaceAll(ReplaceAll(html, "&", "&amp;"), "<", "&lt;"), ">", "&gt;");
  ExpectSent(dir / "html", html, 16);
}

TEST_F(FileTransferTest, SentConversionsDoNotDependOnWhereChunksEnd) {
  const std::string text = ConversionFodder(150, 21);
  WriteWhole(dir / "fodder", text);
  for (int32_t mode : kLookingModes) {
    const std::optional<std::string> whole = nimbus::literal::ApplyConversionMode(text, mode);
    ASSERT_TRUE(whole.has_value());
    for (int32_t chunk : {1, 2, 3, 5, 7, 13, 100, 0}) {
      SCOPED_TRACE("mode " + std::to_string(mode) + " chunk " + std::to_string(chunk));
      ExpectSent(dir / "fodder", *whole, mode, chunk);
    }
  }
  EXPECT_EQ(State(ref), 8);
}

TEST_F(FileTransferTest, ReceivedConversionsDoNotDependOnWhereReceivesEnd) {
  const std::string text = ConversionFodder(80, 22);
  for (int32_t mode : kLookingModes) {
    const std::optional<std::string> whole = nimbus::literal::ApplyConversionMode(text, mode);
    ASSERT_TRUE(whole.has_value());
    for (size_t size : {1, 2, 3, 7, 13, 100}) {
      SCOPED_TRACE("mode " + std::to_string(mode) + " pieces of " + std::to_string(size));
      if (State(ref) != 8) ref = Connected(listener, &peer);
      int32_t status = kUntouched;
      // One piece per yield of the receive, so that its receives end where the pieces do.
      host.StartProcess("receiver", [&] { status = ReceiveFile(dir / "in", mode); });
      host.StartProcess("sender", [&] {
        for (size_t at = 0; at < text.size(); at += size) {
          peer.SendAll(text.substr(at, size));
          YieldToHost();
        }
        peer.Close();
      });
      host.RunProcesses();
      EXPECT_EQ(status, 0);
      EXPECT_EQ(ReadWhole(dir / "in"), *whole);
    }
  }
}

TEST_F(FileTransferTest, ASeveralMiBFileKeepsMemoryFlatBothWays) {
  const std::string bytes = PatternBytes(6 << 20, 7);
  WriteWhole(dir / "large", bytes);
  EXPECT_LE(BlockCountSpread([&] { ExpectSent(dir / "large", bytes); }), 3);
  EXPECT_LE(BlockCountSpread([&] { EXPECT_EQ(ReceiveFrom(bytes, dir / "in"), 0); }), 3);
  EXPECT_EQ(Checksum(ReadWhole(dir / "in")), Checksum(bytes));
}

TEST_F(FileTransferTest, FilesThatCannotBeOpenedLeaveTheStreamAsItWas) {
  std::string longest = dir / "";  // a name of 254 characters works, 255 is no name
  longest.append(254 - longest.size(), 'n');
  WriteWhole(longest, "x");
  WriteWhole(longest + "n", "x");
  ExpectSent(longest, "x");
  const int32_t count = OpenCount();
  for (const std::string& bad : {dir / "missing", dir.path(), longest + "n"}) {
    EXPECT_EQ(SendFile(ref, bad), -1);
  }
  for (const std::string& bad : {dir / "no/dir", dir.path(), longest + "n"}) {
    EXPECT_EQ(ReceiveFile(bad), -1);
  }
  EXPECT_EQ(SendFile(1023, longest), -1);
  EXPECT_EQ(SendFile(DatagramOpen(), longest), -1);  // a datagram endpoint carries no file
  EXPECT_EQ(State(ref), 8);
  EXPECT_EQ(OpenCount(), count + 1);
  EXPECT_TRUE(peer.Quiet());
}

TEST_F(FileTransferTest, APeerThatVanishesStopsTheSend) {
  WriteWhole(dir / "large", PatternBytes(8 << 20, 3));
  std::thread vanisher([&] { peer.Read(100000), peer.Reset(); });
  const int32_t status = SendFile(ref, dir / "large");
  vanisher.join();
  EXPECT_TRUE(status == -1 || status >= 14) << status;
}

TEST_F(FileTransferTest, ReceivedFilesAreWholeAndTheStreamIsReleased) {
  const int32_t count = OpenCount();
  for (size_t size : {0, 1, 16384, 70000}) {
    const std::string bytes = PatternBytes(size, uint32_t(size) + 1);
    EXPECT_EQ(ReceiveFrom(bytes, dir / "in"), 0);
    EXPECT_EQ(Checksum(ReadWhole(dir / "in")), Checksum(bytes)) << size;
    EXPECT_EQ(State(ref), -1) << "the reference is no longer valid";
    EXPECT_EQ(OpenCount(), count - 1);
  }
  const std::string lines = std::string(40000, '\r') + "end";
  EXPECT_EQ(ReceiveFrom(lines, dir / "lines", 4), 0);
  EXPECT_EQ(Checksum(ReadWhole(dir / "lines")), Checksum(ReplaceAll(lines, "\r", "\r\n")));
}

TEST_F(FileTransferTest, AppendKeepsWhatTheFileHeldAndCreateEmptiesIt) {
  const std::string before = PatternBytes(100, 5);
  WriteWhole(dir / "appended", before);
  WriteWhole(dir / "created", before);
  EXPECT_EQ(ReceiveFrom("data", dir / "appended", 0, 1), 0);
  EXPECT_EQ(ReceiveFrom("data", dir / "created", 0, 0), 0);
  EXPECT_EQ(ReceiveFrom("data", dir / "missing", 0, 1), 0);
  EXPECT_EQ(ReadWhole(dir / "appended"), before + "data");
  EXPECT_EQ(ReadWhole(dir / "created"), "data");
  EXPECT_EQ(ReadWhole(dir / "missing"), "data");
}

TEST_F(FileTransferTest, TheIdleTimeOutReleasesTheStream) {
  const int32_t count = OpenCount();
  peer.SendAll("early");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReceiveFile(dir / "idle", 0, 0, 1), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(ReadWhole(dir / "idle"), "early");
  EXPECT_EQ(State(ref), -1);
  EXPECT_EQ(OpenCount(), count - 1);
  std::string rest;
  EXPECT_TRUE(peer.ReadToEnd(&rest)) << "the package closed its side";
}

TEST_F(FileTransferTest, APeerThatResetsEndsTheReceiveWithWhatArrived) {
  const std::string bytes = PatternBytes(50000, 9);
  peer.SendAll(bytes);
  peer.Reset();
  ReceiveFile(dir / "partial");
  const std::string got = ReadWhole(dir / "partial");
  EXPECT_EQ(got, bytes.substr(0, got.size())) << "what arrived is written in order";
  EXPECT_EQ(State(ref), -1);
}

TEST_F(FileTransferTest, AStreamReleasedOrReplacedByAnotherProcessIsLeftToIt) {
  const int32_t count = OpenCount();
  int32_t received = 0, reopened = 0;
  PeerSocket second;
  host.StartProcess("receiver", [&] { received = ReceiveFile(dir / "cut"); });
  host.StartProcess("reopener", [&] {
    EXPECT_EQ(Release(ref), 0);
    reopened = Open(listener.port());  // the lowest free slot: the same one
    second = listener.Accept();
  });
  host.RunProcesses();
  EXPECT_EQ(received, -1);
  EXPECT_EQ(reopened, ref);
  EXPECT_EQ(OpenCount(), count) << "the new stream was not released by the receive";
  EXPECT_EQ(Wait(reopened, 8, 5), 8);
}

TEST_F(FileTransferTest, PicturesSendTheirImageOrRangeAndNothingOutsideTheBlock) {
  const std::string gif = "GIF89a" + PatternBytes(70000 - 6, 11);
  std::string got;
  std::thread reader([&] { got = peer.Read(gif.size()); });
  EXPECT_EQ(SendPicture(gif), 0);
  reader.join();
  EXPECT_EQ(Checksum(got), Checksum(gif));

  std::string picture = PatternBytes(10000, 13, true);
  picture.replace(512, 2, kStart).replace(9000, 2, kEnd);
  EXPECT_EQ(SendPicture(picture), 0);
  EXPECT_EQ(peer.Read(8490), picture.substr(512, 8490));

  const std::string block = "0123456789abcdefghij";
  EXPECT_EQ(SendPicture(block, 10, 13), 0);
  EXPECT_EQ(SendPicture(block, 15, 0), 0);    // last offset 0: the block's end
  EXPECT_EQ(SendPicture(block, 5, 1000), 0);  // cut at the block's end
  EXPECT_EQ(peer.Read(4 + 5 + 15), "abcdfghij" + block.substr(5));
  EXPECT_EQ(SendPicture(block, 10, 10), 0);  // an end not past the start sends nothing
  EXPECT_EQ(SendPicture(block, 30, 40), 0);  // wholly past the block
  EXPECT_EQ(SendPicture(block, -5, 3), -1);
  EXPECT_EQ(SendPicture(kStart + "start marker only at offset 0" + kEnd), -1);
  EXPECT_EQ(SendPicture("no image"), -1);
  EXPECT_EQ(Longint("StreamSendPicture", {Value::Longint(ref), Value::NullBlock(),
                                          Value::Longint(0), Value::Longint(0)}),
            -1);
  EXPECT_TRUE(peer.Quiet());
}

TEST_F(FileTransferTest, BlocksGoToFilesAndBackThroughTheEntryPoint) {
  std::string picture = PatternBytes(3000, 17, true);
  picture.replace(100, 2, kStart).replace(2000, 2, kEnd);
  EXPECT_EQ(Longint("BlobToFile", {Value::Block(picture), Value::Text(dir / "jpeg")}), 0);
  EXPECT_EQ(host.Call("FileToBlob", {Value::Text(dir / "jpeg")}).result.bytes,
            picture.substr(100, 1902));
  EXPECT_GT(Longint("BlobToFile", {Value::Block("x"), Value::Text(std::string(255, 'n'))}), 0);
  EXPECT_EQ(Longint("BlobToFile", {Value::NullBlock(), Value::Text(dir / "null")}), -1);
  EXPECT_TRUE(host.Call("FileToBlob", {Value::Text(dir / "missing")}).result.isNull);
}

}  // namespace
}  // namespace nettest
