// The routine reference (docs/routines.md) as nimbus-host carries it: every routine's entry,
// and the parts of an entry that must agree with the routine catalog.
//
// An entry starts at a "### RoutineName" heading and runs to the next heading of level 1 to 3.
// Inside it the reference writes, in this form:
//   `$result:=RoutineName($first;0;$third)`     the call form: a "$name" for each parameter,
//                                               0 for one the routine does not read
//   | 1 | `$first` | longint | in | ... |       one table row a parameter: number, name
//                                               ("unused" when not read), kind, in or out
//   **Result:** longint ...                     the result's kind ("none" when there is none)
//   ```4d ... ```                               an example that calls the routine
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace nimbus_host {

struct ReferenceParam {
  std::string number;     // the first column, as written
  std::string name;       // "$host", or "unused"
  std::string kind;       // as written: "longint", "Text", "picture or BLOB" ...
  std::string direction;  // "in" or "out"
};

struct ReferenceEntry {
  std::string routine;   // the heading's name
  std::string text;      // the whole entry, heading included, without trailing blank lines
  std::string callForm;  // the first backquoted call of the routine; empty when there is none
  std::vector<ReferenceParam> params;
  std::string resultKind;   // what follows "**Result:**" up to the first dash, colon or full stop
  bool hasExample = false;  // a 4d code block in the entry calls the routine
};

// Every entry of a reference, in order. Headings inside code blocks start no entry.
std::vector<ReferenceEntry> ParseReference(std::string_view markdown);

// The reference built into this program (docs/routines.md at build time).
std::string_view BuiltInReference();

// The entry of a routine by name (any case); null when the reference has none.
const ReferenceEntry* FindEntry(const std::vector<ReferenceEntry>& entries,
                                const std::string& routine);

// Where the reference and the catalog disagree, one message each ("StreamOpen: parameter 2 is
// named $port in the reference, remotePort in the catalog"); empty when they agree. Every
// routine of the catalog needs one entry and every entry a routine; an entry's call form,
// parameter rows and result must give the catalog's names, kinds and directions; every entry
// needs an example.
std::vector<std::string> CompareWithCatalog(const std::vector<ReferenceEntry>& entries,
                                            const std::vector<standin::RoutineInfo>& catalog);

}  // namespace nimbus_host
