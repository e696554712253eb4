// The toolbox seam: every service the package takes from the host's toolbox library,
// declared once, under the classic Toolbox names. The package calls nothing else of the
// host. The stand-in library in stand-in/toolbox implements exactly these exports.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/toolbox_view.h"
#include "platform/abi.h"

extern "C" {

// ---- Basic types -------------------------------------------------------------------------

using Ptr = char*;
using Handle = char**;  // a relocatable block: *h is the block's current address
using Size = int32_t;
using OSErr = int16_t;
using ResType = uint32_t;  // four characters, first one in the high byte
using Str255 = unsigned char[256];
using StringPtr = unsigned char*;
using ConstStr255Param = const unsigned char*;

constexpr OSErr noErr = 0;
constexpr OSErr memFullErr = -108;
constexpr OSErr nilHandleErr = -109;

#include "host/record_packing_begin.h"

// Broken-down date; dayOfWeek 1 = Sunday.
struct DateTimeRec {
  int16_t year;
  int16_t month;
  int16_t day;
  int16_t hour;
  int16_t minute;
  int16_t second;
  int16_t dayOfWeek;
};

struct Rect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// A window message as the host's message loop hands it to a filter. Same shape as the
// Windows MSG record: the message number is the field after the window handle.
struct HostMessage {
  void* window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

#include "host/record_packing_end.h"

// Answers 0 when it took the message, 1 when the host should handle it.
using MessageFilterProc = int32_t (*)(void* window, HostMessage* message);

// A hidden host window; its native handle has the host's frame window as parent.
struct HostWindow;

}  // extern "C"

// The layouts the toolbox and the package both rely on, for 32-bit pointers (the DLL) and
// 64-bit ones (the native build).
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "32-bit or 64-bit pointers");
static_assert(sizeof(DateTimeRec) == 14 && offsetof(DateTimeRec, year) == 0 &&
                  offsetof(DateTimeRec, month) == 2 && offsetof(DateTimeRec, day) == 4 &&
                  offsetof(DateTimeRec, hour) == 6 && offsetof(DateTimeRec, minute) == 8 &&
                  offsetof(DateTimeRec, second) == 10 && offsetof(DateTimeRec, dayOfWeek) == 12,
              "DateTimeRec: seven 16-bit fields");
static_assert(sizeof(Rect) == 8 && offsetof(Rect, top) == 0 && offsetof(Rect, left) == 2 &&
                  offsetof(Rect, bottom) == 4 && offsetof(Rect, right) == 6,
              "Rect: top, left, bottom, right");
// The window message: pointer-sized fields at pointer-sized steps, the message number
// padded to a pointer's size as in MSG (32-bit: 0, 4, 8, 12; 64-bit: 0, 8, 16, 24).
static_assert(offsetof(HostMessage, window) == 0, "HostMessage: window first");
static_assert(offsetof(HostMessage, message) == sizeof(void*), "HostMessage: message second");
static_assert(offsetof(HostMessage, wParam) == 2 * sizeof(void*), "HostMessage: wParam third");
static_assert(offsetof(HostMessage, lParam) == 3 * sizeof(void*), "HostMessage: lParam fourth");
static_assert(sizeof(HostMessage) == (sizeof(void*) == 4 ? 16 : 32), "HostMessage: 16 or 32 bytes");

TOOLBOX_SERVICES_BEGIN

// ---- Blocks --------------------------------------------------------------------------------

TOOLBOX_SERVICE Handle NewHandle(Size byteCount);
TOOLBOX_SERVICE Handle NewHandleClear(Size byteCount);
TOOLBOX_SERVICE void DisposeHandle(Handle h);
TOOLBOX_SERVICE Size GetHandleSize(Handle h);
// Keeps the contents up to the smaller size; an unlocked block may move. MemError tells.
TOOLBOX_SERVICE void SetHandleSize(Handle h, Size newSize);
TOOLBOX_SERVICE void HLock(Handle h);
TOOLBOX_SERVICE void HUnlock(Handle h);
TOOLBOX_SERVICE int8_t HGetState(Handle h);
TOOLBOX_SERVICE void HSetState(Handle h, int8_t state);
TOOLBOX_SERVICE OSErr MemError(void);

TOOLBOX_SERVICE Ptr NewPtr(Size byteCount);
TOOLBOX_SERVICE Ptr NewPtrClear(Size byteCount);
TOOLBOX_SERVICE void DisposePtr(Ptr p);
TOOLBOX_SERVICE void BlockMove(const void* source, void* destination, Size byteCount);

// Finds ptr1[0..len1) in the block at or after offset. With ptr2 null: answers the match's
// offset. Otherwise replaces the match with ptr2[0..len2) and answers the offset just past
// the replacement. With ptr1 null the target is the len1 bytes at offset. Negative when there
// is no match (or the offset lies outside the block).
TOOLBOX_SERVICE int32_t Munger(Handle h, int32_t offset, const void* ptr1, int32_t len1,
                               const void* ptr2, int32_t len2);

// ---- Time ----------------------------------------------------------------------------------

// Ticks since start, 60 a second.
TOOLBOX_SERVICE uint32_t TickCount(void);
// Seconds since 1904-01-01 00:00:00; linear in hour, minute and second, month and day
// normalised the way mktime does.
TOOLBOX_SERVICE void DateToSeconds(const DateTimeRec* date, uint32_t* seconds);
TOOLBOX_SERVICE void SecondsToDate(uint32_t seconds, DateTimeRec* date);

// ---- Numbers and strings (length-prefixed) ------------------------------------------------

TOOLBOX_SERVICE void NumToString(int32_t number, StringPtr text);
TOOLBOX_SERVICE void StringToNum(ConstStr255Param text, int32_t* number);
TOOLBOX_SERVICE uint8_t EqualString(ConstStr255Param a, ConstStr255Param b, uint8_t caseSensitive,
                                    uint8_t diacriticalSensitive);

// ---- Resources -----------------------------------------------------------------------------

// The named resource of the open resource files, or null. The toolbox keeps the handle.
TOOLBOX_SERVICE Handle GetNamedResource(ResType type, ConstStr255Param name);

// ---- Host services without classic names ---------------------------------------------------

// Lets other 4D processes run; runs the host's message pump first.
TOOLBOX_SERVICE void YieldToHost(void);
// Installs the package's message filter (null removes it).
TOOLBOX_SERVICE void SetMessageFilter(MessageFilterProc filter);
// Shows a zero-terminated message to the developer.
TOOLBOX_SERVICE void ShowMessage(const char* message);
TOOLBOX_SERVICE void SysBeep(int16_t duration);

// A hidden host window (see above), made with a bounds rectangle and a title.
TOOLBOX_SERVICE void SetRect(Rect* r, int16_t left, int16_t top, int16_t right, int16_t bottom);
TOOLBOX_SERVICE HostWindow* NewHostWindow(const Rect* bounds, ConstStr255Param title);
TOOLBOX_SERVICE void* HostWindowNative(HostWindow* window);
TOOLBOX_SERVICE void DisposeHostWindow(HostWindow* window);

TOOLBOX_SERVICES_END

// Exports the package does not use: hosts and tests call them directly.
extern "C" {
// Replaces *h with a new copy of the block; answers noErr or an error (then *h is unchanged).
TOOLBOX_API OSErr HandToHand(Handle* h);
// Opens a resource file by its (zero-terminated) path; answers a reference number, or -1.
TOOLBOX_API int16_t OpenResFile(const char* path);
}

// A four-character resource type, as written: ResTypeOf("NMBc").
constexpr ResType ResTypeOf(const char (&code)[5]) {
  return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
         (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}
