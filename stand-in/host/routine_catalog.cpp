// The package's routines as 4D knows them: number, name, the name and kind of every parameter
// (and which ones the routine writes) and the kind of the result. The routine reference
// (docs/routines.md) is checked against this table, and nimbus-host prints it.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "host.h"

namespace standin {
namespace {

// A routine's shape in one short line: its parameters, separated by commas, each a kind
// letter and a name. Kind letters: L longint, I integer, S string, T Text, B picture or BLOB
// (a block), D date; "-" is no result. A ">" before a parameter marks one that the routine
// writes. A parameter named "unused" is one the routine does not read.
struct Row {
  int32_t selector;
  const char* name;
  const char* params;
  char result;
};

constexpr Row kRows[] = {
    {2, "StreamOpen",
     "S host, I remotePort, L bufferSize, L unused, L reuseRef, I localPort, L localAddress", 'L'},
    {3, "StreamListen",
     "L unused, I unused, I localPort, L bufferSize, L unused, L reuseRef, L localAddress", 'L'},
    {4, "StreamClose", "L ref", 'L'},
    {5, "StreamRelease", "L ref, L unused", 'L'},
    {6, "StreamState", "L ref, L type", 'L'},
    {7, "StreamSendText", "L ref, T text, I buffering, L mode", 'L'},
    {8, "StreamReceiveText", "L ref, >T text, L largest, L mode", 'L'},
    {9, "StreamBytesAvailable", "L ref", 'L'},
    {10, "StreamAddresses",
     "L ref, >L remoteAddress, >I remotePort, >I localPort, >L spare, >L localAddress", 'L'},
    {11, "StreamWaitState", "L ref, L wantedState, L timeout", 'L'},
    {12, "StreamSendFile", "L ref, T fileName, L mode, L chunkSize", 'L'},
    {13, "StreamReceiveFile", "L ref, T fileName, L mode, L append, L timeout", 'L'},
    {14, "LocalAddress", ">L address, >L spare1, >L spare2", 'L'},
    {15, "AddressToName", "L address, L option, L unused", 'S'},
    {16, "NameToAddress", "S name, L unused, L unused", 'L'},
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
    {28, "TextToHTML", "T text, L option", 'T'},
    {29, "HTMLToText", "T html, L option", 'T'},
    {30, "TextToURL", "T text, L option", 'T'},
    {31, "URLToText", "T url, L option", 'T'},
    {32, "MacToISO", "T text", 'T'},
    {33, "ISOToMac", "T text", 'T'},
    {34, "TimerStart", "", 'L'},
    {35, "TimerElapsed", "L start", 'L'},
    {36, "QueueCount", "L key", 'L'},
    {37, "QueuePush", "L key, T text", '-'},
    {38, "QueuePop", "L key", 'T'},
    {39, "QueueClear", "L key", '-'},
    {40, "StreamSendPicture", "L ref, B picture, L first, L last", 'L'},
    {41, "DatagramOpen", "L localPort, L localAddress, L unused", 'L'},
    {42, "DatagramClose", "L ref", 'L'},
    {43, "DatagramSend", "L ref, T text, L address, L port, L unused", 'L'},
    // The sender's address and port come back in parameters 3 and 4.
    {44, "DatagramReceive", "L ref, >T text, >L address, >L port, L unused, L unused", 'L'},
    {45, "Reserved45", "L unused", 'L'},
    {46, "PictureToGIF", "B picture, L options, L width, L height, L column, L row", 'B'},
    {47, "PictureInfo", "B picture, >L top, >L left, >L bottom, >L right, >L gifFlag", 'L'},
    {48, "SecondsToDateText", "L seconds, L gmtFlag", 'S'},
    {49, "DateTimeToSeconds", "D date, L time, L gmtFlag", 'L'},
    {50, "DateTextToSeconds", "S dateText, L form", 'L'},
    {51, "SecondsToDateTime", "L seconds, >D date, >L time, L gmtFlag", '-'},
    {52, "StreamList", "L which", 'L'},
    {53, "NameCopy", "S name, >S copy, >L spare, L unused", 'L'},
    {54, "TimerSince", "L start", 'L'},
    {55, "Reserved55", "L unused, L unused, L unused, L unused, L unused", 'B'},
    {57, "BlobToFile", "B blob, T fileName", 'L'},
    {58, "FileToBlob", "T fileName", 'B'},
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
  RoutineInfo info{row.name, row.selector, {}, KindOfLetter(row.result), {}, {}};
  std::string_view rest = row.params;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    std::string_view param = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    while (!param.empty() && param.front() == ' ') param.remove_prefix(1);
    const bool written = !param.empty() && param.front() == '>';
    if (written) param.remove_prefix(1);
    if (param.size() < 3 || param[1] != ' ') continue;  // every row is checked by a test
    info.params.push_back(KindOfLetter(param[0]));
    info.outputs.push_back(written);
    info.names.emplace_back(param.substr(2));
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
