// PictureToGIF and PictureInfo through FourDPack, including two 4D processes encoding at once.
#include <gtest/gtest.h>

#include "gif/gif_test_support.h"
#include "gif/giflib_reader.h"
#include "host/host.h"

namespace {

using standin::Value;

class PictureRoutines : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.Load(NIMBUS_PACKAGE_PATH)) << host.lastError(); }
  standin::Host host;
};

TEST_F(PictureRoutines, PictureInfoWritesItsFiveOutputs) {
  const auto call = host.Call(
      "PictureInfo", {Value::Block(giftest::Picture(-2, 3, 100, -400)), Value::Longint(9),
                      Value::Longint(9), Value::Longint(9), Value::Longint(9), Value::Longint(9)});
  EXPECT_EQ(call.result.longint, 10);
  const int32_t expected[] = {-2, 3, 100, -400, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(call.params[size_t(i) + 1].longint, expected[i]) << i;
  const auto none =
      host.Call("PictureInfo", {Value::NullBlock(), Value::Longint(9), Value::Longint(9),
                                Value::Longint(9), Value::Longint(9), Value::Longint(9)});
  EXPECT_EQ(none.result.longint, 0);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(none.params[size_t(i)].longint, 0) << i;
}

TEST_F(PictureRoutines, ProcessesEncodingAtOnceEachGetTheirOwnFile) {
  // Drawing yields to the other processes, so the encodings overlap; each must still come out
  // as exactly its own picture.
  struct Job {
    int16_t width, height;
    int32_t options;
    std::vector<uint8_t> rgb;
    standin::CallResult call;
  };
  std::vector<Job> jobs = {{64, 48, 0, {}, {}}, {33, 70, 1, {}, {}}, {5, 5, 2, {}, {}}};
  for (size_t i = 0; i < jobs.size(); ++i) {
    Job& job = jobs[i];
    job.rgb = giftest::RandomBytes(size_t(job.width) * job.height * 3, uint32_t(i));
    host.StartProcess("encoder " + std::to_string(i), [this, &job] {
      job.call = host.Call("PictureToGIF",
                           {Value::Block(giftest::RasterPicture(job.height, job.width, job.rgb)),
                            Value::Longint(job.options), Value::Longint(0), Value::Longint(0),
                            Value::Longint(2), Value::Longint(2)});
    });
  }
  host.RunProcesses();
  for (const Job& job : jobs) {
    ASSERT_EQ(job.call.result.kind, standin::Kind::kBlock);
    const giftest::DecodedGif gif = giftest::DecodeWithGiflib(job.call.result.bytes);
    ASSERT_EQ(gif.error, "") << job.width;
    EXPECT_EQ(gif.interlaced, job.options == 1);
    EXPECT_EQ(gif.transparentIndex >= 0, job.options == 2);
    EXPECT_EQ(gif.pixels,
              giftest::ExpectedImage(job.rgb, job.width, job.height, job.width, job.height));
  }
}

}  // namespace
