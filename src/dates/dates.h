// Date and time: 4D dates and times of day to and from the host's seconds, millisecond timers,
// and Internet date texts ("Sun, 6 Nov 1994 08:49:37 GMT") and the compact form YYMMDDhhmmss.
//
// Host seconds are the toolbox's unsigned 32-bit count, carried in a longint as the same 32
// bits; every addition to them wraps. A GMT flag of 1 means GMT as described at each operation.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

namespace nimbus {

// ---- Dates and times of day ---------------------------------------------------------------

// The seconds of a date and a time of day. Whole days in the time are dropped (90000 gives
// the same as 3600); a negative time counts back from midnight. With gmtFlag exactly 1 the
// date and time are local and the result is shifted to GMT; any other flag does not shift.
int32_t DateTimeToSeconds(int16_t day, int16_t month, int16_t year, int32_t timeOfDay,
                          int32_t gmtFlag);

struct DateAndTime {
  int16_t day;
  int16_t month;
  int16_t year;
  int32_t timeOfDay;  // seconds since midnight
};

// The date and time of day of some seconds. With gmtFlag exactly 1 they are given unshifted
// (GMT); any other flag takes the seconds as GMT and gives local time.
DateAndTime SecondsToDateTime(int32_t seconds, int32_t gmtFlag);

// ---- Millisecond timers --------------------------------------------------------------------

// The system's millisecond count.
int32_t TimerStart();
// Milliseconds since a count TimerStart gave, correct across one wrap of the clock.
int32_t TimerElapsed(int32_t start);
// now - start in 32-bit wrap-around arithmetic.
int32_t ElapsedMilliseconds(uint32_t now, uint32_t start);

// ---- Internet date texts -------------------------------------------------------------------

// Writes "Sun, 6 Nov 1994 08:49:37 GMT" into text (a 256-byte buffer). gmtFlag 0: the seconds
// are GMT and the text shows local time with its numeric zone (" +0100"), or " GMT" when the
// zone's offset is 0. Any other flag writes the seconds as they are, labelled " GMT".
void SecondsToDateText(int32_t seconds, int32_t gmtFlag, StringPtr text);

// The seconds of a date text: form 1 reads the compact form, any other value an Internet date.
int32_t DateTextToSeconds(ConstStr255Param text, int32_t form);

// Reads an Internet date text by fixed-width fields: day, month name, year (2 or 4 digits),
// hh:mm[:ss], then an optional numeric zone (+hhmm / -hhmm) or a US zone name (EST, PDT...).
// A text without any digit gives 0. Reads only inside the text's length.
int32_t ReadInternetDateText(ConstStr255Param text);

// Reads YYMMDDhhmmss (00-39 are 2000-2039, 40-99 are 1940-1999). Exactly 12 characters are
// local time and are shifted to GMT; any other length (a trailing "Z") is taken as GMT.
int32_t ReadCompactDateText(ConstStr255Param text);

}  // namespace nimbus
