// JPEGs that Pillow wrote (in the directory that NIMBUS_JPEG_PICTURES names), each wrapped in a
// picture block between bytes of its own, go out through BlobToFile and StreamSendPicture
// without being cut at the thumbnail that an EXIF segment carries: each arrives whole, byte for
// byte. The copies are left beside the originals as NAME.blob.jpg and NAME.stream.jpg, for
// Pillow to read back.
#include <algorithm>
#include <cstdlib>
#include <thread>

#include "net/net_support.h"
#include "package/files_test_support.h"

namespace nettest {
namespace {

using namespace files_test;

fs::path PicturesDir() {
  const char* dir = std::getenv("NIMBUS_JPEG_PICTURES");
  return dir != nullptr ? fs::path(dir) : fs::path("jpeg_pictures");
}

// A picture wrapping the JPEG: a header without markers in front, and bytes behind that
// hold an end marker and a start marker of their own.
std::string Wrapped(const std::string& jpeg) {
  return PatternBytes(600, 3, true) + jpeg + "\xFF\xD9\xFF\xD8" + PatternBytes(300, 4);
}

class JpegPicturesTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    ref = Connected(listener, &peer);
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(PicturesDir(), missing)) {
      const fs::path path = entry.path();
      if (path.extension() == ".jpg" && path.stem().extension().empty()) jpegs.push_back(path);
    }
    std::sort(jpegs.begin(), jpegs.end());
  }

  std::vector<fs::path> jpegs;
  PeerListener listener;
  PeerSocket peer;
  int32_t ref = 0;
};

TEST_F(JpegPicturesTest, GoOutWholeThroughBlobToFileAndStreamSendPicture) {
  ASSERT_GE(jpegs.size(), 2u) << "no JPEGs in " << PicturesDir().string();
  for (const fs::path& path : jpegs) {
    SCOPED_TRACE(path.filename().string());
    const std::string jpeg = ReadWhole(path.string());
    const std::string picture = Wrapped(jpeg);
    fs::path copy = path;

    copy.replace_extension(".blob.jpg");
    fs::remove(copy);
    EXPECT_EQ(Longint("BlobToFile", {Value::Block(picture), Value::Text(copy.string())}), 0);
    const std::string written = ReadWhole(copy.string());
    EXPECT_EQ(written.size(), jpeg.size());
    EXPECT_TRUE(written == jpeg);

    std::string sent;
    std::thread reader([&] { sent = peer.Read(jpeg.size()); });
    EXPECT_EQ(Longint("StreamSendPicture", {Value::Longint(ref), Value::Block(picture),
                                            Value::Longint(0), Value::Longint(0)}),
              0);
    reader.join();
    EXPECT_TRUE(peer.Quiet()) << "nothing past the end marker";
    copy.replace_extension().replace_extension(".stream.jpg");
    WriteWhole(copy.string(), sent);
    EXPECT_EQ(sent.size(), jpeg.size());
    EXPECT_TRUE(sent == jpeg);
  }
}

}  // namespace
}  // namespace nettest
