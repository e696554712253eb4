// Reads date texts back into host seconds: Internet date texts by fixed-width fields consumed
// from the front, and the compact form YYMMDDhhmmss. Separators are counted, not examined.
// Every field is taken with Substring, so a field beyond the end of a short text is empty.
#include "dates/dates.h"
#include "dates/gmt_offset.h"
#include "dates/length_prefixed_string.h"

namespace nimbus {

namespace {

using pstring::CharAt;
using pstring::Delete;
using pstring::Length;
using pstring::Literal;

constexpr Literal<4> kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// US zone names and the hours that take their local time to GMT.
struct ZoneName {
  Literal<4> name;
  int16_t hoursToGMT;
};
constexpr ZoneName kZoneNames[] = {{"EDT", 4}, {"EST", 5}, {"CDT", 5}, {"CST", 6},
                                   {"MDT", 6}, {"MST", 7}, {"PDT", 7}, {"PST", 8}};

constexpr int32_t kMonthNameLength = 3;
constexpr int32_t kCompactLocalLength = 12;  // YYMMDDhhmmss with no zone mark
constexpr int32_t kCenturyPivot = 40;        // compact years below it are 20xx

bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

// The number in `count` characters from `start`, by the toolbox's conversion; an empty field
// converts to 0.
int16_t NumberAt(ConstStr255Param text, int32_t start, int32_t count) {
  Str255 field;
  pstring::Substring(field, pstring::kBufferSize, text, start, count);
  int32_t number = 0;
  StringToNum(field, &number);
  return int16_t(number);  // fields are at most 4 characters
}

// 1-12 for a month name in the first three characters (letter case ignored), 0 otherwise.
int16_t MonthAt(ConstStr255Param text) {
  Str255 field;
  pstring::Substring(field, pstring::kBufferSize, text, 1, kMonthNameLength);
  for (int16_t month = 1; month <= 12; ++month) {
    if (EqualString(field, kMonthNames[month - 1].get(), 0, 0)) return month;
  }
  return 0;
}

int32_t SecondsOf(const DateTimeRec& record) {
  uint32_t seconds = 0;
  DateToSeconds(&record, &seconds);
  return int32_t(seconds);
}

}  // namespace

int32_t ReadInternetDateText(ConstStr255Param text) {
  Str255 w;
  pstring::Copy(text, w, pstring::kBufferSize);

  // Pass over a leading day name, short or long.
  while (Length(w) > 0 && !IsDigit(w[1])) Delete(w, 1, 1);
  if (Length(w) == 0) return 0;

  DateTimeRec record{};
  if (CharAt(w, 2) != ' ') {  // "06 " or "06-"
    record.day = NumberAt(w, 1, 2);
    Delete(w, 1, 3);
  } else {  // "6 "
    record.day = NumberAt(w, 1, 1);
    Delete(w, 1, 2);
  }

  record.month = MonthAt(w);
  Delete(w, 1, 4);

  if (CharAt(w, 3) == ' ') {  // "94 ": no century window here
    record.year = int16_t(1900 + NumberAt(w, 1, 2));
    Delete(w, 1, 3);
  } else {
    record.year = NumberAt(w, 1, 4);
    Delete(w, 1, 5);
  }

  record.hour = NumberAt(w, 1, 2);
  Delete(w, 1, 3);
  record.minute = NumberAt(w, 1, 2);
  Delete(w, 1, 2);
  if (CharAt(w, 1) == ':') {
    record.second = NumberAt(w, 2, 2);
    Delete(w, 1, 4);
  } else {  // no seconds: skip the separator before the zone
    record.second = 0;
    Delete(w, 1, 1);
  }

  // A numeric zone is local time minus GMT: undo it.
  if (CharAt(w, 1) == '+') {
    record.hour = int16_t(record.hour - NumberAt(w, 2, 2));
    record.minute = int16_t(record.minute - NumberAt(w, 4, 2));
  }
  if (CharAt(w, 1) == '-') {
    record.hour = int16_t(record.hour + NumberAt(w, 2, 2));
    record.minute = int16_t(record.minute + NumberAt(w, 4, 2));
  }
  // A zone name must be the whole remainder, with its letter case.
  for (const ZoneName& zone : kZoneNames) {
    if (pstring::Compare(w, zone.name.get()) == 0) {
      record.hour = int16_t(record.hour + zone.hoursToGMT);
    }
  }
  return SecondsOf(record);
}

int32_t ReadCompactDateText(ConstStr255Param text) {
  Str255 w;
  pstring::Copy(text, w, pstring::kBufferSize);

  DateTimeRec record{};
  const int16_t year = NumberAt(w, 1, 2);
  record.year = int16_t(year < kCenturyPivot ? 2000 + year : 1900 + year);
  record.month = NumberAt(w, 3, 2);
  record.day = NumberAt(w, 5, 2);
  record.hour = NumberAt(w, 7, 2);
  record.minute = NumberAt(w, 9, 2);
  record.second = NumberAt(w, 11, 2);

  uint32_t seconds = uint32_t(SecondsOf(record));
  if (Length(text) == kCompactLocalLength) seconds -= uint32_t(CurrentGMTOffset());
  return int32_t(seconds);
}

int32_t DateTextToSeconds(ConstStr255Param text, int32_t form) {
  constexpr int32_t kCompactForm = 1;
  return form == kCompactForm ? ReadCompactDateText(text) : ReadInternetDateText(text);
}

}  // namespace nimbus
