// The package's routines as 4D knows them: number, name, the kind of every parameter (and
// which ones the routine writes) and the kind of the result.
#include <algorithm>
#include <cctype>
#include <charconv>

#include "host.h"

namespace standin {
namespace {

// A routine's shape in one short line. Kind letters: L longint, I integer, S string,
// T Text, B picture or BLOB (a block), D date; "-" is no result. A ">" before a parameter
// marks one that the routine writes.
struct Row {
  int32_t selector;
  const char* name;
  const char* params;
  char result;
};

constexpr Row kRows[] = {
    {2, "StreamOpen", "S I L L L I L", 'L'},
    {3, "StreamListen", "L I I L L L L", 'L'},
    {4, "StreamClose", "L", 'L'},
    {5, "StreamRelease", "L L", 'L'},
    {6, "StreamState", "L L", 'L'},
    {7, "StreamSendText", "L T I L", 'L'},
    {8, "StreamReceiveText", "L >T L L", 'L'},
    {9, "StreamBytesAvailable", "L", 'L'},
    {10, "StreamAddresses", "L >L >I >I >L >L", 'L'},
    {11, "StreamWaitState", "L L L", 'L'},
    {12, "StreamSendFile", "L T L L", 'L'},
    {13, "StreamReceiveFile", "L T L L L", 'L'},
    {14, "LocalAddress", ">L >L >L", 'L'},
    {15, "AddressToName", "L L L", 'S'},
    {16, "NameToAddress", "S L L", 'L'},
    {17, "Reserved17", "", 'L'},
    {18, "Reserved18", "", 'L'},
    {19, "Reserved19", "", 'L'},
    {20, "Reserved20", "", 'L'},
    {21, "Reserved21", "", 'L'},
    {22, "Reserved22", "", 'L'},
    {23, "Reserved23", "", 'L'},
    {24, "Reserved24", "", 'S'},
    {25, "Reserved25", "", 'L'},
    {26, "Reserved26", "", 'L'},
    {27, "Reserved27", "", 'S'},
    {28, "TextToHTML", "T L", 'T'},
    {29, "HTMLToText", "T L", 'T'},
    {30, "TextToURL", "T L", 'T'},
    {31, "URLToText", "T L", 'T'},
    {32, "MacToISO", "T", 'T'},
    {33, "ISOToMac", "T", 'T'},
    {34, "TimerStart", "", 'L'},
    {35, "TimerElapsed", "L", 'L'},
    {36, "QueueCount", "L", 'L'},
    {37, "QueuePush", "L T", '-'},
    {38, "QueuePop", "L", 'T'},
    {39, "QueueClear", "L", '-'},
    {40, "StreamSendPicture", "L B L L", 'L'},
    {41, "DatagramOpen", "L L L", 'L'},
    {42, "DatagramClose", "L", 'L'},
    {43, "DatagramSend", "L T L L L", 'L'},
    // The sender's address and port come back in parameters 3 and 4.
    {44, "DatagramReceive", "L >T >L >L L L", 'L'},
    {45, "Reserved45", "L", 'L'},
    {46, "PictureToGIF", "B L L L L L", 'B'},
    {47, "PictureInfo", "B >L >L >L >L >L", 'L'},
    {48, "SecondsToDateText", "L L", 'S'},
    {49, "DateTimeToSeconds", "D L L", 'L'},
    {50, "DateTextToSeconds", "S L", 'L'},
    {51, "SecondsToDateTime", "L >D >L L", '-'},
    {52, "StreamList", "L", 'L'},
    {53, "NameCopy", "S >S >L L", 'L'},
    {54, "TimerSince", "L", 'L'},
    {55, "Reserved55", "L L L L L", 'B'},
    {57, "BlobToFile", "B T", 'L'},
    {58, "FileToBlob", "T", 'B'},
};

Kind KindOfLetter(char letter) {
  switch (letter) {
    case 'L':
      return Kind::kLongint;
    case 'I':
      return Kind::kInteger;
    case 'S':
      return Kind::kString;
    case 'T':
      return Kind::kText;
    case 'B':
      return Kind::kBlock;
    case 'D':
      return Kind::kDate;
    default:
      return Kind::kNone;
  }
}

RoutineInfo InfoOfRow(const Row& row) {
  RoutineInfo info{row.name, row.selector, {}, KindOfLetter(row.result), {}};
  bool written = false;
  for (const char* c = row.params; *c != '\0'; ++c) {
    if (*c == '>') {
      written = true;
    } else if (*c != ' ') {
      info.params.push_back(KindOfLetter(*c));
      info.outputs.push_back(written);
      written = false;
    }
  }
  return info;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

const std::vector<RoutineInfo>& RoutineCatalog() {
  static const std::vector<RoutineInfo> catalog = [] {
    std::vector<RoutineInfo> infos;
    for (const Row& row : kRows) infos.push_back(InfoOfRow(row));
    return infos;
  }();
  return catalog;
}

const RoutineInfo* FindRoutineInfo(const std::string& nameOrNumber) {
  const std::vector<RoutineInfo>& catalog = RoutineCatalog();
  int32_t number = 0;
  const char* first = nameOrNumber.data();
  const char* last = first + nameOrNumber.size();
  const auto [end, error] = std::from_chars(first, last, number);
  const bool isNumber = !nameOrNumber.empty() && error == std::errc() && end == last;
  for (const RoutineInfo& info : catalog) {
    if (isNumber ? info.selector == number : SameNameIgnoringCase(info.name, nameOrNumber)) {
      return &info;
    }
  }
  return nullptr;
}

}  // namespace standin
