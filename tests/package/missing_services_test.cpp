// The package with a host whose toolbox library lacks a service: for every service of the
// table in turn, the package loads, the routines that need the service answer their failure
// result, the others answer as with a complete library, and nothing crashes or touches a
// block that is not live. The package is linked in and bound through the test lookup, which
// finds every service in the stand-in library except the one refused.
//
// This test drives the stand-in library directly, as a host does: it sees the library's own
// exports, not the package's binding.
#undef NIMBUS_TOOLBOX_BOUND

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/toolbox_services.h"
#include "package/fourd_abi.h"
#include "platform/host_library.h"
#include "toolbox/toolbox_testing.h"

namespace {

using nimbus::toolbox::kServiceCount;
using nimbus::toolbox::ServiceAt;

// ---- The toolbox as the test lookup shows it ------------------------------------------------

const char* gRefused = nullptr;  // the one export the lookup does not find

void* LookupRefusingOne(const char* name) {
  if (gRefused != nullptr && std::strcmp(name, gRefused) == 0) return nullptr;
  return nimbus::platform::HostLibrarySymbol("ASINTPPC", name);
}

// ---- Calls through FourDPack, with parameters made by the host's library ----------------------

Handle TextBlock(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  if (!bytes.empty()) std::memcpy(*h, bytes.data(), bytes.size());
  return h;
}

std::string TextOf(const FourDText& text) {
  if (text.handle == nullptr || text.length <= 0) return "";
  return std::string(*text.handle, size_t(text.length));
}

std::string PascalOf(const unsigned char* s) {
  return std::string(reinterpret_cast<const char*>(s) + 1, s[0]);
}

class Package {
 public:
  Package() { FourDPack(kSelectorLoad, nullptr, &globals_, nullptr); }
  ~Package() {
    FourDPack(kSelectorUnload, nullptr, &globals_, nullptr);
    if (globals_ != nullptr) DisposeHandle(globals_);  // the host's, as 4D disposes it
  }
  Handle globals() const { return globals_; }

  int32_t Longint(int32_t selector, std::vector<void*> params) {
    FourDResult result{};
    result.longint = kUntouched;
    FourDPack(selector, params.data(), &globals_, &result);
    return result.longint;
  }
  // A Text result, as 4D reads it (and disposes of its block).
  std::string Text(int32_t selector, std::vector<void*> params) {
    FourDText text{0, nullptr};
    FourDResult result{};
    result.text = &text;
    FourDPack(selector, params.data(), &globals_, &result);
    std::string bytes = TextOf(text);
    if (text.handle != nullptr) DisposeHandle(text.handle);
    return bytes;
  }
  std::string String(int32_t selector, std::vector<void*> params) {
    unsigned char buffer[256] = {0};
    FourDResult result{};
    result.string = buffer;
    FourDPack(selector, params.data(), &globals_, &result);
    return PascalOf(buffer);
  }
  Handle Block(int32_t selector, std::vector<void*> params) {
    FourDResult result{};
    result.block = nullptr;
    FourDPack(selector, params.data(), &globals_, &result);
    return result.block;
  }

  static constexpr int32_t kUntouched = 0x5A5A5A5A;

 private:
  Handle globals_ = nullptr;
};

// A 2 x 2 picture in the stand-in's one body: the frame, then "RGB8" and the pixels.
Handle TwoByTwoPicture() {
  const uint8_t bytes[] = {0,   0,   0, 0, 0, 0,   2, 0, 2, 0,   'R', 'G', 'B',
                           '8', 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  Handle h = NewHandle(sizeof bytes);
  std::memcpy(*h, bytes, sizeof bytes);
  return h;
}

// ---- The probes: one outcome each, as text ----------------------------------------------------

// Runs every probe against a freshly loaded package and answers each one's outcome.
std::map<std::string, std::string> RunProbes(Package& package) {
  std::map<std::string, std::string> out;

  // Answered by the entry point alone.
  int32_t statistics = -6, unused = 0;
  out["StreamState(-6)"] = std::to_string(package.Longint(6, {&statistics, &unused}));
  int32_t anything = 3;
  out["Reserved45"] = std::to_string(package.Longint(45, {&anything}));

  // Text conversions (blocks; MacToISO also the character tables resource).
  FourDText html{3, TextBlock("<a>")};
  int32_t option = 0;
  out["TextToHTML"] = package.Text(28, {&html, &option});
  DisposeHandle(html.handle);
  FourDText mac{4, TextBlock("ab\x8E\xA5")};
  out["MacToISO"] = package.Text(32, {&mac});
  DisposeHandle(mac.handle);

  // Queues.
  int32_t key = 77;
  FourDText item{5, TextBlock("hello")};
  package.Longint(37, {&key, &item});
  DisposeHandle(item.handle);
  out["QueueCount"] = std::to_string(package.Longint(36, {&key}));
  out["QueuePop"] = package.Text(38, {&key});

  // Dates: the toolbox's calendar, numbers and string comparison.
  int32_t seconds = int32_t(3000000000u), gmt = 1;
  out["SecondsToDateText"] = package.String(48, {&seconds, &gmt});
  unsigned char dateText[256];
  const char* text = "Sun, 06 Nov 1994 08:49:37 GMT";
  dateText[0] = uint8_t(std::strlen(text));
  std::memcpy(dateText + 1, text, dateText[0]);
  int32_t form = 0;
  out["DateTextToSeconds"] = std::to_string(package.Longint(50, {dateText, &form}));
  const char* lower = "sun, 06 nov 1994 08:49:37 gmt";  // names compared without case
  dateText[0] = uint8_t(std::strlen(lower));
  std::memcpy(dateText + 1, lower, dateText[0]);
  out["DateTextToSeconds(lower case)"] = std::to_string(package.Longint(50, {dateText, &form}));

  // Pictures.
  Handle picture = TwoByTwoPicture();
  int32_t zero[5] = {0, 0, 0, 0, 0};
  Handle gif = package.Block(46, {&picture, &zero[0], &zero[1], &zero[2], &zero[3], &zero[4]});
  out["PictureToGIF"] = gif == nullptr ? "none" : std::string(*gif, 6);
  if (gif != nullptr) DisposeHandle(gif);
  DisposeHandle(picture);

  // A stream and a datagram endpoint: records, slots, the session.
  int32_t l0 = 0, l1 = 0, buffer = 4096, l3 = 0, reuse = 0, localAddress = 0x7F000001;
  int16_t i0 = 0, port = 0;
  const int32_t ref = package.Longint(3, {&l0, &i0, &port, &buffer, &l3, &reuse, &localAddress});
  // A new reference, then what releasing (closing) it answers; or the failed open's 0.
  out["StreamListen"] = std::to_string(ref);
  if (ref > 0) {
    int32_t r = ref;
    out["StreamListen"] = "ref, released " + std::to_string(package.Longint(5, {&r, &l1}));
  }
  const int32_t datagram = package.Longint(41, {&l0, &l1, &l3});
  out["DatagramOpen"] = std::to_string(datagram);
  if (datagram > 0) {
    int32_t r = datagram;
    out["DatagramOpen"] = "ref, closed " + std::to_string(package.Longint(42, {&r}));
  }
  return out;
}

// For each probe, the services it needs and what it answers when each is missing. Without
// the character tables a conversion copies its text; without a locked global record (no
// NewHandleClear, or no HLock so no block can be kept in place) no stream can be registered;
// without the calendar services dates stand at the epoch. Every probe not listed for a
// service answers as with a complete library.
using Failures = std::map<std::string, std::string>;  // service -> failure outcome

Failures Each(std::initializer_list<const char*> services, const std::string& failure) {
  Failures f;
  for (const char* s : services) f[s] = failure;
  return f;
}
Failures Both(Failures a, const Failures& b) {
  a.insert(b.begin(), b.end());
  return a;
}

std::map<std::string, Failures> Needs() {
  const char* const drawing[] = {"NewGWorld",  "DisposeGWorld",   "GetGWorld",  "SetGWorld",
                                 "GetGDevice", "GetGWorldPixMap", "LockPixels", "UnlockPixels",
                                 "ForeColor",  "BackColor",       "EraseRect",  "DrawPicture",
                                 "CopyBits"};
  Failures picture =
      Each({"NewHandle", "SetHandleSize", "HLock", "MemError", "GetHandleSize", "NewPtr"}, "none");
  for (const char* service : drawing) picture[service] = "none";
  const Failures noRecord = Each({"NewHandleClear", "HLock", "NewPtrClear"}, "0");
  return {
      {"TextToHTML", Each({"NewHandle", "HLock", "GetHandleSize"}, "")},
      {"MacToISO", Both(Each({"NewHandle", "HLock", "GetHandleSize"}, ""),
                        Each({"GetNamedResource"}, "ab\x8E\xA5"))},
      {"QueueCount",
       Each({"NewHandle", "NewHandleClear", "SetHandleSize", "HLock", "MemError"}, "0")},
      {"QueuePop",
       Each({"NewHandle", "NewHandleClear", "SetHandleSize", "HLock", "MemError", "GetHandleSize"},
            "")},
      {"SecondsToDateText", Each({"SecondsToDate"}, "Fri, 1 Jan 1904 00:00:00 GMT")},
      {"DateTextToSeconds", Each({"DateToSeconds"}, "0")},
      {"DateTextToSeconds(lower case)", Each({"DateToSeconds"}, "0")},
      {"PictureToGIF", picture},
      {"StreamListen", noRecord},
      {"DatagramOpen", noRecord},
  };
}

class MissingServicesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(OpenResFile(NIMBUS_RESOURCE_PATH), 0) << NIMBUS_RESOURCE_PATH;
    nimbus::toolbox::SetSymbolLookupForTesting(LookupRefusingOne);
  }
  void TearDown() override {
    gRefused = nullptr;
    nimbus::toolbox::SetSymbolLookupForTesting(nullptr);
    nimbus::toolbox::BindServices();
  }
};

TEST_F(MissingServicesTest, TheTableNamesEveryServiceOnceAndTheStandInHasThemAll) {
  std::set<std::string> names;
  for (int32_t i = 0; i < kServiceCount; ++i) {
    const char* name = ServiceAt(i).exportName;
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_NE(nimbus::platform::HostLibrarySymbol("ASINTPPC", name), nullptr) << name;
  }
  EXPECT_EQ(nimbus::platform::HostLibrarySymbol("ASINTPPC", "NoSuchService"), nullptr);
  EXPECT_EQ(nimbus::platform::HostLibrarySymbol("NoSuchLibrary", "NewHandle"), nullptr);
}

TEST_F(MissingServicesTest, EachServiceMissingInTurnLoadsAndFailsOnlyItsRoutines) {
  std::map<std::string, std::string> baseline;
  {
    Package package;
    ASSERT_NE(package.globals(), nullptr);
    baseline = RunProbes(package);
  }
  // The baseline is the package working: every probe that can fail succeeded.
  const std::map<std::string, Failures> needs = Needs();
  for (const auto& [probe, failures] : needs) {
    for (const auto& [service, failure] : failures) {
      EXPECT_NE(baseline[probe], failure) << probe << " answers as without " << service;
    }
  }
  EXPECT_EQ(baseline["TextToHTML"], "&lt;a&gt;");
  EXPECT_EQ(baseline["QueuePop"], "hello");
  EXPECT_EQ(baseline["PictureToGIF"], "GIF87a");
  EXPECT_EQ(baseline["DateTextToSeconds(lower case)"], baseline["DateTextToSeconds"]);

  for (int32_t i = 0; i < kServiceCount; ++i) {
    const std::string service = ServiceAt(i).exportName;
    SCOPED_TRACE("missing " + service);
    gRefused = ServiceAt(i).exportName;
    TBTest_ResetRecords();
    const int32_t unknownBefore = TBTest_UnknownBlockUses();
    std::map<std::string, std::string> outcome;
    {
      Package package;  // load and unload
      // The global record needs a locked block: without one the package still loads, and
      // every stream routine then answers as for a bad reference.
      const bool recordExpected = service != "NewHandleClear" && service != "HLock";
      EXPECT_EQ(package.globals() != nullptr, recordExpected);
      outcome = RunProbes(package);
    }
    EXPECT_EQ(TBTest_UnknownBlockUses(), unknownBefore) << "a stale or foreign block was used";
    // A message at load says when a service the package cannot work without is missing,
    // and when no host window (hence no parent window for socket notifications) can be had.
    const bool reported = !ServiceAt(i).packageWorksWithout || service == "NewHostWindow" ||
                          service == "HostWindowNative";
    EXPECT_EQ(TBTest_MessageCount() > 0, reported) << TBTest_LastMessage();

    for (const auto& [probe, value] : baseline) {
      const auto need = needs.find(probe);
      const bool needed = need != needs.end() && need->second.count(service) > 0;
      EXPECT_EQ(outcome[probe], needed ? need->second.at(service) : value) << probe;
    }
  }
}

// Without TickCount the package counts ticks from the system's millisecond clock, so a wait
// with a time-out still ends on time; without YieldToHost it still ends.
TEST_F(MissingServicesTest, WaitsEndOnTimeWithoutTickCountOrYield) {
  for (const char* service : {"TickCount", "YieldToHost"}) {
    SCOPED_TRACE(service);
    gRefused = service;
    Package package;
    int32_t l0 = 0, buffer = 4096, l3 = 0, reuse = 0, localAddress = 0x7F000001;
    int16_t i0 = 0, port = 0;
    int32_t ref = package.Longint(3, {&l0, &i0, &port, &buffer, &l3, &reuse, &localAddress});
    ASSERT_GT(ref, 0);
    int32_t established = 8, timeout = 1;
    const auto start = std::chrono::steady_clock::now();
    const int32_t state = package.Longint(11, {&ref, &established, &timeout});
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_NE(state, 8);
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(10));
  }
}

}  // namespace
