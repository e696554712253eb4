// The package's side of every toolbox service: each function calls the host's export found
// by BindServices, or, when the host's library has none, answers as the service answers when
// it fails, so that the routines that need it take their failure path. Where the package can
// do a service's work itself (copying bytes, filling a rectangle, counting ticks, writing and
// reading decimal numbers) it does.
#include <cstring>

#include "host/toolbox.h"
#include "host/toolbox_drawing.h"
#include "host/toolbox_services.h"
#include "platform/clock.h"

namespace nimbus::toolbox {
namespace {

// The host's export of the service, typed as the service; null when it is missing.
template <typename Function>
Function Export(Service service) {
  return reinterpret_cast<Function>(ServiceAddress(service));
}
#define NIMBUS_EXPORT_OF(name) Export<decltype(&name)>(Service::name)

// An allocation or resize that could not be asked for: MemError reports it until the next
// allocation or resize the host does answer.
OSErr gUnaskedBlockError = noErr;

// The classic state byte's lock bit, as HGetState reports a locked block.
constexpr int8_t kLockedState = int8_t(0x80);

// Without HLock no relocatable block can be kept in place, and the package holds addresses
// into its blocks across allocations and yields: every relocatable allocation then fails,
// as when memory is full, instead of handing out blocks that may move under it.
bool BlocksCanBeLocked() {
  return ServiceAddress(Service::HLock) != nullptr;
}

template <typename Result>
Result Allocated(Result result) {
  gUnaskedBlockError = noErr;
  return result;
}
template <typename Result>
Result NotAllocated(Result result) {
  gUnaskedBlockError = memFullErr;
  return result;
}

// Ticks from the system's millisecond clock, for a host without TickCount: 60 a second,
// counted from the first call and carried across the millisecond clock's wrap.
uint32_t gLastMilliseconds = 0;
uint64_t gElapsedMilliseconds = 0;
bool gTickFallbackStarted = false;

uint32_t TicksFromMillisecondClock() {
  const uint32_t now = platform::MillisecondClock();
  if (!gTickFallbackStarted) {
    gLastMilliseconds = now;
    gTickFallbackStarted = true;
  }
  gElapsedMilliseconds += uint32_t(now - gLastMilliseconds);
  gLastMilliseconds = now;
  return uint32_t(gElapsedMilliseconds * 60 / 1000);
}

}  // namespace

// ---- Blocks ----------------------------------------------------------------------------------

Handle NewHandle(Size byteCount) {
  auto call = NIMBUS_EXPORT_OF(NewHandle);
  if (call != nullptr && BlocksCanBeLocked()) return Allocated(call(byteCount));
  return NotAllocated<Handle>(nullptr);
}
Handle NewHandleClear(Size byteCount) {
  auto call = NIMBUS_EXPORT_OF(NewHandleClear);
  if (call != nullptr && BlocksCanBeLocked()) return Allocated(call(byteCount));
  return NotAllocated<Handle>(nullptr);
}
void DisposeHandle(Handle h) {
  if (auto call = NIMBUS_EXPORT_OF(DisposeHandle)) call(h);  // else the block stays
}
Size GetHandleSize(Handle h) {
  if (auto call = NIMBUS_EXPORT_OF(GetHandleSize)) return call(h);
  return 0;  // an empty block: nothing is read or written through it
}
void SetHandleSize(Handle h, Size newSize) {
  auto call = NIMBUS_EXPORT_OF(SetHandleSize);
  if (call != nullptr && BlocksCanBeLocked()) {
    gUnaskedBlockError = noErr;
    call(h, newSize);
  } else {
    gUnaskedBlockError = memFullErr;
  }
}
void HLock(Handle h) {
  if (auto call = NIMBUS_EXPORT_OF(HLock)) call(h);
}
void HUnlock(Handle h) {
  if (auto call = NIMBUS_EXPORT_OF(HUnlock)) call(h);
}
int8_t HGetState(Handle h) {
  if (auto call = NIMBUS_EXPORT_OF(HGetState)) return call(h);
  // Reported locked, so that restoring it never unlocks a block someone else locked.
  return kLockedState;
}
void HSetState(Handle h, int8_t state) {
  if (auto call = NIMBUS_EXPORT_OF(HSetState)) call(h, state);
}
OSErr MemError() {
  if (gUnaskedBlockError != noErr) return gUnaskedBlockError;
  if (auto call = NIMBUS_EXPORT_OF(MemError)) return call();
  // No way to learn whether a block call worked: none is taken to have worked.
  return memFullErr;
}

Ptr NewPtr(Size byteCount) {
  if (auto call = NIMBUS_EXPORT_OF(NewPtr)) return Allocated(call(byteCount));
  return NotAllocated<Ptr>(nullptr);
}
Ptr NewPtrClear(Size byteCount) {
  if (auto call = NIMBUS_EXPORT_OF(NewPtrClear)) return Allocated(call(byteCount));
  return NotAllocated<Ptr>(nullptr);
}
void DisposePtr(Ptr p) {
  if (auto call = NIMBUS_EXPORT_OF(DisposePtr)) call(p);  // else the record stays
}
void BlockMove(const void* source, void* destination, Size byteCount) {
  if (auto call = NIMBUS_EXPORT_OF(BlockMove)) {
    call(source, destination, byteCount);
  } else if (byteCount > 0) {
    std::memmove(destination, source, size_t(byteCount));
  }
}

int32_t Munger(Handle h, int32_t offset, const void* ptr1, int32_t len1, const void* ptr2,
               int32_t len2) {
  if (auto call = NIMBUS_EXPORT_OF(Munger)) return call(h, offset, ptr1, len1, ptr2, len2);
  return -1;  // no match
}

// ---- Time --------------------------------------------------------------------------------

uint32_t TickCount() {
  if (auto call = NIMBUS_EXPORT_OF(TickCount)) return call();
  return TicksFromMillisecondClock();
}
void DateToSeconds(const DateTimeRec* date, uint32_t* seconds) {
  if (auto call = NIMBUS_EXPORT_OF(DateToSeconds)) {
    call(date, seconds);
  } else if (seconds != nullptr) {
    *seconds = 0;  // the epoch, as SecondsToDate below answers
  }
}
void SecondsToDate(uint32_t seconds, DateTimeRec* date) {
  if (auto call = NIMBUS_EXPORT_OF(SecondsToDate)) {
    call(seconds, date);
  } else if (date != nullptr) {
    *date = DateTimeRec{1904, 1, 1, 0, 0, 0, 6};  // the epoch (a Friday): a valid record
  }
}

// ---- Numbers and strings ---------------------------------------------------------------------

// Decimal digits with a leading '-' for negatives, as NumToString writes them.
static void WriteDecimal(int32_t number, StringPtr text) {
  char digits[12];
  int32_t count = 0;
  uint32_t magnitude = number < 0 ? 0u - uint32_t(number) : uint32_t(number);
  do {
    digits[count++] = char('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  int32_t length = 0;
  if (number < 0) text[++length] = '-';
  while (count > 0) text[++length] = uint8_t(digits[--count]);
  text[0] = uint8_t(length);
}

// An optional sign, then decimal digits up to the first other character; wraps at 32 bits.
static int32_t ReadDecimal(ConstStr255Param text) {
  int32_t i = 1;
  const int32_t end = text[0] + 1;
  bool negative = false;
  if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  return int32_t(negative ? 0u - value : value);
}

static uint8_t AsciiLower(uint8_t c) {
  return c >= 'A' && c <= 'Z' ? uint8_t(c - 'A' + 'a') : c;
}

void NumToString(int32_t number, StringPtr text) {
  if (auto call = NIMBUS_EXPORT_OF(NumToString)) {
    call(number, text);
  } else if (text != nullptr) {
    WriteDecimal(number, text);
  }
}
void StringToNum(ConstStr255Param text, int32_t* number) {
  if (auto call = NIMBUS_EXPORT_OF(StringToNum)) {
    call(text, number);
  } else if (number != nullptr) {
    *number = text != nullptr ? ReadDecimal(text) : 0;
  }
}
uint8_t EqualString(ConstStr255Param a, ConstStr255Param b, uint8_t caseSensitive,
                    uint8_t diacriticalSensitive) {
  if (auto call = NIMBUS_EXPORT_OF(EqualString)) {
    return call(a, b, caseSensitive, diacriticalSensitive);
  }
  // Without the host's comparison: ASCII letters compare without case when asked, every
  // other byte (the Mac Roman letters with diacritics included) exactly.
  if (a == nullptr || b == nullptr || a[0] != b[0]) return 0;
  for (int32_t i = 1; i <= a[0]; ++i) {
    const uint8_t x = caseSensitive ? a[i] : AsciiLower(a[i]);
    const uint8_t y = caseSensitive ? b[i] : AsciiLower(b[i]);
    if (x != y) return 0;
  }
  return 1;
}

// ---- Resources -------------------------------------------------------------------------------

Handle GetNamedResource(ResType type, ConstStr255Param name) {
  if (auto call = NIMBUS_EXPORT_OF(GetNamedResource)) return call(type, name);
  return nullptr;  // as for a resource that is not there
}

// ---- Host services -------------------------------------------------------------------------

void YieldToHost() {
  if (auto call = NIMBUS_EXPORT_OF(YieldToHost)) call();
}
void SetMessageFilter(MessageFilterProc filter) {
  if (auto call = NIMBUS_EXPORT_OF(SetMessageFilter)) call(filter);
}
void ShowMessage(const char* message) {
  if (auto call = NIMBUS_EXPORT_OF(ShowMessage)) call(message);
}
void SysBeep(int16_t duration) {
  if (auto call = NIMBUS_EXPORT_OF(SysBeep)) call(duration);
}
void SetRect(Rect* r, int16_t left, int16_t top, int16_t right, int16_t bottom) {
  if (auto call = NIMBUS_EXPORT_OF(SetRect)) {
    call(r, left, top, right, bottom);
  } else if (r != nullptr) {
    *r = Rect{top, left, bottom, right};
  }
}
HostWindow* NewHostWindow(const Rect* bounds, ConstStr255Param title) {
  if (auto call = NIMBUS_EXPORT_OF(NewHostWindow)) return call(bounds, title);
  return nullptr;
}
void* HostWindowNative(HostWindow* window) {
  if (auto call = NIMBUS_EXPORT_OF(HostWindowNative)) return call(window);
  return nullptr;
}
void DisposeHostWindow(HostWindow* window) {
  if (auto call = NIMBUS_EXPORT_OF(DisposeHostWindow)) call(window);
}

// ---- Drawing -------------------------------------------------------------------------------

QDErr NewGWorld(GWorldPtr* offscreenGWorld, int16_t pixelDepth, const Rect* boundsRect,
                CTabHandle cTable, GDHandle aGDevice, GWorldFlags flags) {
  if (auto call = NIMBUS_EXPORT_OF(NewGWorld)) {
    return call(offscreenGWorld, pixelDepth, boundsRect, cTable, aGDevice, flags);
  }
  if (offscreenGWorld != nullptr) *offscreenGWorld = nullptr;
  return memFullErr;
}
void DisposeGWorld(GWorldPtr offscreenGWorld) {
  if (auto call = NIMBUS_EXPORT_OF(DisposeGWorld)) call(offscreenGWorld);
}
void GetGWorld(CGrafPtr* port, GDHandle* gdh) {
  if (auto call = NIMBUS_EXPORT_OF(GetGWorld)) {
    call(port, gdh);
    return;
  }
  if (port != nullptr) *port = nullptr;
  if (gdh != nullptr) *gdh = nullptr;
}
void SetGWorld(CGrafPtr port, GDHandle gdh) {
  if (auto call = NIMBUS_EXPORT_OF(SetGWorld)) call(port, gdh);
}
GDHandle GetGDevice() {
  if (auto call = NIMBUS_EXPORT_OF(GetGDevice)) return call();
  return nullptr;
}
PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld) {
  if (auto call = NIMBUS_EXPORT_OF(GetGWorldPixMap)) return call(offscreenGWorld);
  return nullptr;
}
uint8_t LockPixels(PixMapHandle pm) {
  if (auto call = NIMBUS_EXPORT_OF(LockPixels)) return call(pm);
  return 0;  // the pixels cannot be had
}
void UnlockPixels(PixMapHandle pm) {
  if (auto call = NIMBUS_EXPORT_OF(UnlockPixels)) call(pm);
}
void ForeColor(int32_t color) {
  if (auto call = NIMBUS_EXPORT_OF(ForeColor)) call(color);
}
void BackColor(int32_t color) {
  if (auto call = NIMBUS_EXPORT_OF(BackColor)) call(color);
}
void EraseRect(const Rect* r) {
  if (auto call = NIMBUS_EXPORT_OF(EraseRect)) call(r);
}
void DrawPicture(PicHandle myPicture, const Rect* dstRect) {
  if (auto call = NIMBUS_EXPORT_OF(DrawPicture)) call(myPicture, dstRect);
}
void CopyBits(const PixMap* srcBits, const PixMap* dstBits, const Rect* srcRect,
              const Rect* dstRect, int16_t mode, void* maskRgn) {
  if (auto call = NIMBUS_EXPORT_OF(CopyBits))
    call(srcBits, dstBits, srcRect, dstRect, mode, maskRgn);
}

}  // namespace nimbus::toolbox
