// A small package for testing the stand-in host: it exports FourDPack and answers a few
// routine numbers with simple, predictable work on every parameter and result kind, so the
// host's loading, marshalling and process switching can be checked without the real package.
// It reports load and unload through ShowMessage, which tests read back.
#include <cctype>
#include <cstring>
#include <string>

#include "package/fourd_abi.h"

namespace {

constexpr char kGlobalsTag[4] = {'F', 'A', 'K', 'E'};
constexpr int32_t kGlobalsSize = 8;  // the tag, then a call counter
constexpr int32_t kBadGlobals = -999;

int callsInProgress = 0;
std::string queuedText;

template <typename T>
T& Param(void** params, int n) {
  return *static_cast<T*>(params[n - 1]);
}

std::string TextBytes(const FourDText& text) {
  if (text.handle == nullptr || text.length <= 0) return "";
  return std::string(*text.handle, size_t(text.length));
}

Handle BlockOf(const std::string& bytes) {
  Handle h = NewHandle(Size(bytes.size()));
  if (h != nullptr && !bytes.empty()) BlockMove(bytes.data(), *h, Size(bytes.size()));
  return h;
}

bool GlobalsValid(Handle* globals) {
  return globals != nullptr && *globals != nullptr && GetHandleSize(*globals) == kGlobalsSize &&
         std::memcmp(**globals, kGlobalsTag, sizeof(kGlobalsTag)) == 0;
}

void Load(Handle* globals) {
  Handle block = NewHandleClear(kGlobalsSize);
  if (block != nullptr) BlockMove(kGlobalsTag, *block, sizeof(kGlobalsTag));
  *globals = block;
  // Whether the host opened the resource file before calling load.
  const unsigned char name[] = "\x07Mac2ISO";
  Handle table = GetNamedResource(ResTypeOf("NMBc"), name);
  const std::string message = "fake package: load, table " +
                              (table != nullptr ? std::to_string(GetHandleSize(table)) : "none");
  ShowMessage(message.c_str());
}

void Unload(Handle* globals) {
  const std::string message = std::string("fake package: unload, globals ") +
                              (GlobalsValid(globals) ? "FAKE" : "wrong") + ", calls in progress " +
                              std::to_string(callsInProgress);
  ShowMessage(message.c_str());
  // The global block stays in the variable: the host disposes of it.
}

void Run(int32_t selector, void** params, Handle* globals, FourDResult* result) {
  switch (selector) {
    case 5:  // StreamRelease: reference 0 leaves the result untouched
      if (Param<int32_t>(params, 1) != 0) result->longint = Param<int32_t>(params, 1) * 10;
      break;
    case 8: {  // StreamReceiveText: replaces the Text's block with "got:" + its old bytes
      FourDText& text = Param<FourDText>(params, 2);
      const std::string bytes = "got:" + TextBytes(text);
      if (text.handle != nullptr) DisposeHandle(text.handle);
      text.handle = BlockOf(bytes);
      text.length = int16_t(bytes.size());
      result->longint = text.length;
      break;
    }
    case 10: {  // StreamAddresses: every output written with its own width
      Param<int32_t>(params, 2) = Param<int32_t>(params, 1) + 1;
      Param<int16_t>(params, 3) = int16_t(-Param<int16_t>(params, 3));
      Param<int16_t>(params, 4) = int16_t(Param<int16_t>(params, 4) * 2);
      Param<int32_t>(params, 5) = -1;
      Param<int32_t>(params, 6) = 0x7F000001;
      result->longint = 0x7F000001;
      break;
    }
    case 11: {  // StreamWaitState: yields as often as its third parameter says
      for (int32_t i = 0; i < Param<int32_t>(params, 3); ++i) YieldToHost();
      result->longint = Param<int32_t>(params, 3);
      break;
    }
    case 32: {  // MacToISO: an upper-case copy; a null Text gives a null Text
      std::string bytes = TextBytes(Param<FourDText>(params, 1));
      for (char& c : bytes) c = char(std::toupper(static_cast<unsigned char>(c)));
      const bool none = Param<FourDText>(params, 1).handle == nullptr;
      *result->text = FourDText{int16_t(bytes.size()), none ? nullptr : BlockOf(bytes)};
      break;
    }
    case 33:  // ISOToMac: a Text whose length field claims more than its block holds
      *result->text = FourDText{100, BlockOf("abc")};
      break;
    case 34:  // TimerStart: counts calls in the global block
      if (!GlobalsValid(globals)) {
        result->longint = kBadGlobals;
      } else {
        int32_t count = 0;
        std::memcpy(&count, **globals + 4, sizeof(count));
        ++count;
        std::memcpy(**globals + 4, &count, sizeof(count));
        result->longint = count;
      }
      break;
    case 37:  // QueuePush: keeps a copy of the Text, no result
      queuedText = TextBytes(Param<FourDText>(params, 2));
      break;
    case 38:  // QueuePop: the Text last pushed
      *result->text = FourDText{int16_t(queuedText.size()), BlockOf(queuedText)};
      break;
    case 40: {  // StreamSendPicture: grows the block by "END"
      Handle& block = Param<Handle>(params, 2);
      if (block == nullptr) {
        result->longint = -1;
        break;
      }
      const Size size = GetHandleSize(block);
      SetHandleSize(block, size + 3);
      BlockMove("END", *block + size, 3);  // *block re-read: the block may have moved
      result->longint = GetHandleSize(block);
      break;
    }
    case 48: {  // SecondsToDateText: "n=<p1>,<p2>"
      const std::string text = "n=" + std::to_string(Param<int32_t>(params, 1)) + "," +
                               std::to_string(Param<int32_t>(params, 2));
      result->string[0] = static_cast<unsigned char>(text.size());
      std::memcpy(result->string + 1, text.data(), text.size());
      break;
    }
    case 49: {  // DateTimeToSeconds: the date as YYYYMMDD
      const FourDDate& date = Param<FourDDate>(params, 1);
      result->longint = date.year * 10000 + date.month * 100 + date.day;
      break;
    }
    case 51:  // SecondsToDateTime: a fixed date, the time of day; no result
      Param<FourDDate>(params, 2) = FourDDate{6, 11, 1994};
      Param<int32_t>(params, 3) = Param<int32_t>(params, 1) % 86400;
      break;
    case 53: {  // NameCopy: copies the whole string
      const unsigned char* source = &Param<unsigned char>(params, 1);
      std::memcpy(&Param<unsigned char>(params, 2), source, size_t(source[0]) + 1);
      Param<int32_t>(params, 3) = 1000;
      result->longint = 0;
      break;
    }
    case 57:  // BlobToFile: must never run in the tests that use it
      result->longint = -77;
      break;
    case 58: {  // FileToBlob: the Text's bytes twice, a null block for an empty Text
      const std::string bytes = TextBytes(Param<FourDText>(params, 1));
      result->block = bytes.empty() ? nullptr : BlockOf(bytes + bytes);
      break;
    }
    default:
      break;
  }
}

}  // namespace

extern "C" NIMBUS_EXPORT void NIMBUS_CALL FourDPack(int32_t selector, void** params,
                                                    Handle* globals, FourDResult* result) {
  if (selector == kSelectorLoad) return Load(globals);
  if (selector == kSelectorUnload) return Unload(globals);
  ++callsInProgress;
  Run(selector, params, globals, result);
  --callsInProgress;
}
