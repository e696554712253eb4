// Parameters and results of every kind, through the host and the fake package: what goes in
// arrives with the right width and contents, what the routine writes comes back, and every
// block the call involves is disposed of exactly once.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "toolbox/toolbox_testing.h"

namespace {

using standin::CallResult;
using standin::Host;
using standin::Kind;
using standin::Value;

class MarshallingTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Load(FAKE_PACKAGE_PATH)) << host.lastError();
    handlesAtStart = TBTest_LiveHandles();
  }
  void TearDown() override {
    TBTest_SetAllocationBudget(-1);
    EXPECT_EQ(TBTest_LiveHandles(), handlesAtStart) << "a call left blocks behind";
  }

  CallResult Call(const std::string& routine, const std::vector<Value>& params,
                  int32_t initialResult = 0x5A5A5A5A) {
    CallResult out = host.Call(routine, params, initialResult);
    EXPECT_EQ(out.error, "");
    return out;
  }

  Host host;
  int32_t handlesAtStart = 0;
};

TEST_F(MarshallingTest, LongintAndIntegerOutputsKeepTheirWidthAndSign) {
  const CallResult out =
      Call("StreamAddresses", {Value::Longint(7), Value::Longint(0), Value::Integer(12345),
                               Value::Integer(-300), Value::Longint(0), Value::Longint(0)});
  ASSERT_EQ(out.params.size(), 6u);
  EXPECT_EQ(out.params[0].longint, 7);  // an input stays as it was
  EXPECT_EQ(out.params[1].longint, 8);
  EXPECT_EQ(out.params[2].kind, Kind::kInteger);
  EXPECT_EQ(out.params[2].longint, -12345);
  EXPECT_EQ(out.params[3].longint, -600);
  EXPECT_EQ(out.params[4].longint, -1);
  EXPECT_EQ(out.params[5].longint, 0x7F000001);
  EXPECT_EQ(out.result.kind, Kind::kLongint);
  EXPECT_EQ(out.result.longint, 0x7F000001);
}

TEST_F(MarshallingTest, TextWhoseBlockTheRoutineReplacesComesBack) {
  CallResult out = Call("StreamReceiveText", {Value::Longint(1), Value::Text("abc"),
                                              Value::Longint(100), Value::Longint(0)});
  EXPECT_EQ(out.params[1].bytes, "got:abc");
  EXPECT_EQ(out.params[1].longint, 7);
  EXPECT_FALSE(out.params[1].isNull);
  EXPECT_EQ(out.result.longint, 7);

  // A null Text goes in as a null handle with length 0, and the routine fills it.
  out = Call("StreamReceiveText",
             {Value::Longint(1), Value::NullText(), Value::Longint(100), Value::Longint(0)});
  EXPECT_EQ(out.params[1].bytes, "got:");
}

TEST_F(MarshallingTest, TextResultsIncludingNullAndOverlongLength) {
  CallResult out = Call("MacToISO", {Value::Text("Hello, 4D")});
  EXPECT_EQ(out.result.kind, Kind::kText);
  EXPECT_EQ(out.result.bytes, "HELLO, 4D");

  out = Call("MacToISO", {Value::NullText()});
  EXPECT_TRUE(out.result.isNull);
  EXPECT_EQ(out.result.bytes, "");

  // Bytes with the high bit and zero bytes pass unchanged.
  const std::string binary("\x00\x80\xff\r", 4);
  out = Call("MacToISO", {Value::Text(binary)});
  EXPECT_EQ(out.result.bytes, binary);

  // A length field past the block's end: only the block's bytes are read.
  out = Call("ISOToMac", {Value::Text("x")});
  EXPECT_EQ(out.result.bytes, "abc");
  EXPECT_EQ(out.result.longint, 100);
}

TEST_F(MarshallingTest, StringsOfEveryLengthUpTo255) {
  std::string longest(255, 'x');
  longest[0] = '\0';
  longest[254] = '\xff';
  for (const std::string& name : {std::string(), std::string("a"), longest}) {
    const CallResult out = Call("NameCopy", {Value::String(name), Value::String("old"),
                                             Value::Longint(0), Value::Longint(0)});
    EXPECT_EQ(out.params[1].bytes, name);
    EXPECT_EQ(out.params[2].longint, 1000);
    EXPECT_EQ(out.result.longint, 0);
  }
  const CallResult out = Call("SecondsToDateText", {Value::Longint(42), Value::Longint(-1)});
  EXPECT_EQ(out.result.kind, Kind::kString);
  EXPECT_EQ(out.result.bytes, "n=42,-1");
}

TEST_F(MarshallingTest, DatesBothWays) {
  CallResult out =
      Call("DateTimeToSeconds", {Value::Date(6, 11, 1994), Value::Longint(0), Value::Longint(0)});
  EXPECT_EQ(out.result.longint, 19941106);

  out = Call(
      "SecondsToDateTime",
      {Value::Longint(86400 + 3600), Value::Date(0, 0, 0), Value::Longint(0), Value::Longint(0)},
      0x12345678);
  EXPECT_EQ(out.params[1].kind, Kind::kDate);
  EXPECT_EQ(out.params[1].date.day, 6);
  EXPECT_EQ(out.params[1].date.month, 11);
  EXPECT_EQ(out.params[1].date.year, 1994);
  EXPECT_EQ(out.params[2].longint, 3600);
  // No result: the slot is as the host set it.
  EXPECT_EQ(out.result.kind, Kind::kNone);
  EXPECT_EQ(out.result.longint, 0x12345678);
}

TEST_F(MarshallingTest, BlockParameterResizedByTheRoutine) {
  std::string picture(1000, 'p');
  CallResult out = Call("StreamSendPicture", {Value::Longint(1), Value::Block(picture),
                                              Value::Longint(0), Value::Longint(0)});
  EXPECT_EQ(out.params[1].bytes, picture + "END");
  EXPECT_EQ(out.result.longint, 1003);

  out = Call("StreamSendPicture",
             {Value::Longint(1), Value::NullBlock(), Value::Longint(0), Value::Longint(0)});
  EXPECT_TRUE(out.params[1].isNull);
  EXPECT_EQ(out.result.longint, -1);
}

TEST_F(MarshallingTest, BlockResultIsCopiedAndDisposed) {
  CallResult out = Call("FileToBlob", {Value::Text("xy")});
  EXPECT_EQ(out.result.kind, Kind::kBlock);
  EXPECT_EQ(out.result.bytes, "xyxy");
  EXPECT_EQ(out.result.longint, 4);

  out = Call("FileToBlob", {Value::Text("")});
  EXPECT_TRUE(out.result.isNull);
}

TEST_F(MarshallingTest, ResultSlotUntouchedWhenTheRoutineWritesNothing) {
  CallResult out = Call("StreamRelease", {Value::Longint(0), Value::Longint(0)}, 0x5A5A5A5A);
  EXPECT_EQ(out.result.longint, 0x5A5A5A5A);
  out = Call("StreamRelease", {Value::Longint(3), Value::Longint(0)}, 0x5A5A5A5A);
  EXPECT_EQ(out.result.longint, 30);

  out = Call("QueuePush", {Value::Longint(1), Value::Text("queued")}, -7);
  EXPECT_EQ(out.result.longint, -7);
  out = Call("QueuePop", {Value::Longint(1)});
  EXPECT_EQ(out.result.bytes, "queued");
}

TEST_F(MarshallingTest, GlobalsVariableCarriesTheLoadBlockToEveryCall) {
  ASSERT_NE(*host.globalsVariable(), nullptr);
  EXPECT_EQ(std::string(**host.globalsVariable(), 4), "FAKE");
  EXPECT_EQ(Call("TimerStart", {}).result.longint, 1);
  EXPECT_EQ(Call("34", {}).result.longint, 2);
  EXPECT_EQ(Call("timerstart", {}).result.longint, 3);
}

TEST_F(MarshallingTest, ValuesThatDoNotFitAreRefusedBeforeTheCall) {
  struct Case {
    const char* routine;
    std::vector<Value> params;
    const char* problem;
  };
  const Case cases[] = {
      {"BlobToFile", {Value::Block("b")}, "takes 2 parameters, not 1"},
      {"BlobToFile", {Value::Block("b"), Value::Longint(1)}, "parameter 2 must be a Text"},
      {"BlobToFile", {Value::Text("b"), Value::Text("t")}, "parameter 1 must be a block"},
      {"BlobToFile",
       {Value::Block("b"), Value::Text(std::string(32768, 't'))},
       "at most 32767 bytes"},
      {"NameCopy",
       {Value::String(std::string(256, 's')), Value::String(""), Value::Longint(0),
        Value::Longint(0)},
       "at most 255 bytes"},
      {"NoSuchRoutine", {}, "unknown routine"},
      {"56", {}, "unknown routine"},
  };
  for (const Case& c : cases) {
    const CallResult out = host.Call(c.routine, c.params);
    EXPECT_NE(out.error.find(c.problem), std::string::npos)
        << c.routine << ": \"" << out.error << "\"";
    EXPECT_EQ(host.lastError(), out.error);
    EXPECT_NE(out.result.longint, -77) << "the routine ran";
  }
}

TEST_F(MarshallingTest, NoMemoryForAParameterBlockFailsTheCallWithoutLeaks) {
  TBTest_SetAllocationBudget(1);  // the Text's block gets no memory
  const CallResult out = host.Call("BlobToFile", {Value::Block("b"), Value::Text("t")});
  TBTest_SetAllocationBudget(-1);
  EXPECT_NE(out.error.find("no memory"), std::string::npos) << out.error;
  EXPECT_NE(out.result.longint, -77) << "the routine ran";
}

TEST(MarshallingWithoutPackage, CallsAreRefused) {
  Host host;
  const CallResult out = host.Call("TimerStart", {});
  EXPECT_EQ(out.error, "no package is loaded");
  FourDResult result{};
  result.longint = 11;
  host.CallRaw(34, nullptr, &result);
  EXPECT_EQ(result.longint, 11);
}

}  // namespace
