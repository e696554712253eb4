// The toolbox seam: every service the package takes from the host's toolbox library,
// declared once, under the classic Toolbox names. The package calls nothing else of the
// host. The stand-in library in stand-in/toolbox implements exactly these exports.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Answers 0 when it took the message, 1 when the host should handle it.
using MessageFilterProc = int32_t (*)(void* window, HostMessage* message);

// ---- Blocks --------------------------------------------------------------------------------

TOOLBOX_API Handle NewHandle(Size byteCount);
TOOLBOX_API Handle NewHandleClear(Size byteCount);
TOOLBOX_API void DisposeHandle(Handle h);
TOOLBOX_API Size GetHandleSize(Handle h);
// Keeps the contents up to the smaller size; an unlocked block may move. MemError tells.
TOOLBOX_API void SetHandleSize(Handle h, Size newSize);
TOOLBOX_API void HLock(Handle h);
TOOLBOX_API void HUnlock(Handle h);
TOOLBOX_API int8_t HGetState(Handle h);
TOOLBOX_API void HSetState(Handle h, int8_t state);
// Replaces *h with a new copy of the block; answers noErr or an error (then *h is unchanged).
TOOLBOX_API OSErr HandToHand(Handle* h);
TOOLBOX_API OSErr MemError(void);

TOOLBOX_API Ptr NewPtr(Size byteCount);
TOOLBOX_API Ptr NewPtrClear(Size byteCount);
TOOLBOX_API void DisposePtr(Ptr p);
TOOLBOX_API void BlockMove(const void* source, void* destination, Size byteCount);

// Finds ptr1[0..len1) in the block at or after offset. With ptr2 null: answers the match's
// offset. Otherwise replaces the match with ptr2[0..len2) and answers the offset just past
// the replacement. With ptr1 null the target is the len1 bytes at offset. Negative when there
// is no match (or the offset lies outside the block).
TOOLBOX_API int32_t Munger(Handle h, int32_t offset, const void* ptr1, int32_t len1,
                           const void* ptr2, int32_t len2);

// ---- Time ----------------------------------------------------------------------------------

// Ticks since start, 60 a second.
TOOLBOX_API uint32_t TickCount(void);
// Seconds since 1904-01-01 00:00:00; linear in hour, minute and second, month and day
// normalised the way mktime does.
TOOLBOX_API void DateToSeconds(const DateTimeRec* date, uint32_t* seconds);
TOOLBOX_API void SecondsToDate(uint32_t seconds, DateTimeRec* date);

// ---- Numbers and strings (length-prefixed) ------------------------------------------------

TOOLBOX_API void NumToString(int32_t number, StringPtr text);
TOOLBOX_API void StringToNum(ConstStr255Param text, int32_t* number);
TOOLBOX_API uint8_t EqualString(ConstStr255Param a, ConstStr255Param b, uint8_t caseSensitive,
                                uint8_t diacriticalSensitive);

// ---- Resources -----------------------------------------------------------------------------

// Opens a resource file by its (zero-terminated) path; answers a reference number, or -1.
TOOLBOX_API int16_t OpenResFile(const char* path);
// The named resource of the open resource files, or null. The toolbox keeps the handle.
TOOLBOX_API Handle GetNamedResource(ResType type, ConstStr255Param name);

// ---- Host services without classic names ---------------------------------------------------

// Lets other 4D processes run; runs the host's message pump first.
TOOLBOX_API void YieldToHost(void);
// Installs the package's message filter (null removes it).
TOOLBOX_API void SetMessageFilter(MessageFilterProc filter);
// Shows a zero-terminated message to the developer.
TOOLBOX_API void ShowMessage(const char* message);
TOOLBOX_API void SysBeep(int16_t duration);

// A hidden host window; its native handle has the host's frame window as parent.
struct HostWindow;
TOOLBOX_API void SetRect(Rect* r, int16_t left, int16_t top, int16_t right, int16_t bottom);
TOOLBOX_API HostWindow* NewHostWindow(const Rect* bounds, ConstStr255Param title);
TOOLBOX_API void* HostWindowNative(HostWindow* window);
TOOLBOX_API void DisposeHostWindow(HostWindow* window);

}  // extern "C"

// A four-character resource type, as written: ResTypeOf("NMBc").
constexpr ResType ResTypeOf(const char (&code)[5]) {
  return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
         (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}
