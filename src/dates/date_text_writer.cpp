// Writes host seconds as an Internet date text: "Sun, 6 Nov 1994 08:49:37 GMT", or with the
// local zone's numeric offset (" +0100").
#include "dates/dates.h"
#include "dates/gmt_offset.h"
#include "dates/length_prefixed_string.h"

namespace nimbus {

namespace {

using pstring::Literal;

constexpr Literal<6> kDayNames[] = {"Sun, ", "Mon, ", "Tue, ", "Wed, ", "Thu, ", "Fri, ", "Sat, "};
constexpr Literal<6> kMonthNames[] = {" Jan ", " Feb ", " Mar ", " Apr ", " May ", " Jun ",
                                      " Jul ", " Aug ", " Sep ", " Oct ", " Nov ", " Dec "};
constexpr Literal<2> kSpace(" ");
constexpr Literal<2> kColon(":");
constexpr Literal<2> kZero("0");
constexpr Literal<5> kGMTLabel(" GMT");
constexpr Literal<3> kEastOf(" +");
constexpr Literal<3> kWestOf(" -");
constexpr Literal<1> kEmpty("");

constexpr int32_t kSecondsPerMinute = 60;
constexpr int32_t kMinutesPerHour = 60;

// A name from a 1-based table; an index the table lacks gives the empty string.
template <size_t N, size_t M>
const unsigned char* NameAt(const Literal<N> (&table)[M], int32_t index) {
  if (index < 1 || index > int32_t(M)) return kEmpty.get();
  return table[index - 1].get();
}

void AppendNumber(StringPtr text, int32_t number) {
  Str255 digits;
  NumToString(number, digits);
  pstring::Append(text, text, digits);
}

void AppendTwoDigits(StringPtr text, int32_t number) {
  if (number >= 0 && number < 10) pstring::Append(text, text, kZero.get());
  AppendNumber(text, number);
}

}  // namespace

void SecondsToDateText(int32_t seconds, int32_t gmtFlag, StringPtr text) {
  // The text can only name whole minutes of offset, so a zone with odd seconds is shifted by
  // the whole minutes it is labelled with: the text then still reads back to its instant.
  int32_t zone = 0;
  if (gmtFlag == 0) {
    const int32_t offset = CurrentGMTOffset();
    zone = offset - offset % kSecondsPerMinute;
  }
  const uint32_t instant = uint32_t(seconds) + uint32_t(zone);

  DateTimeRec record{};
  SecondsToDate(instant, &record);

  pstring::Copy(NameAt(kDayNames, record.dayOfWeek), text, pstring::kBufferSize);
  AppendNumber(text, record.day);
  pstring::Append(text, text, NameAt(kMonthNames, record.month));
  AppendNumber(text, record.year);
  pstring::Append(text, text, kSpace.get());
  AppendTwoDigits(text, record.hour);
  pstring::Append(text, text, kColon.get());
  AppendTwoDigits(text, record.minute);
  pstring::Append(text, text, kColon.get());
  AppendTwoDigits(text, record.second);

  if (zone == 0) {
    pstring::Append(text, text, kGMTLabel.get());
    return;
  }
  pstring::Append(text, text, zone > 0 ? kEastOf.get() : kWestOf.get());
  const int32_t minutes = (zone > 0 ? zone : -zone) / kSecondsPerMinute;
  AppendTwoDigits(text, minutes / kMinutesPerHour);
  AppendTwoDigits(text, minutes % kMinutesPerHour);
}

}  // namespace nimbus
