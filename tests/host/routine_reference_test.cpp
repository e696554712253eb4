// The routine reference against the routine catalog and the package's routine table: the
// reference as built in agrees, and the comparison finds every kind of disagreement.
#include "routine_reference.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "package/routine_table.h"

namespace {

using nimbus_host::BuiltInReference;
using nimbus_host::CompareWithCatalog;
using nimbus_host::FindEntry;
using nimbus_host::ParseReference;
using nimbus_host::ReferenceEntry;
using standin::RoutineCatalog;

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "  " + line + "\n";
  return out;
}

std::vector<std::string> ProblemsOf(const std::string& reference) {
  return CompareWithCatalog(ParseReference(reference), RoutineCatalog());
}

// The reference with `from` replaced by `to` once, inside the entry of `routine`.
std::string Edited(const std::string& routine, const std::string& from, const std::string& to) {
  std::string text(BuiltInReference());
  const size_t entry = text.find("\n### " + routine + "\n");
  EXPECT_NE(entry, std::string::npos) << routine;
  const size_t at = text.find(from, entry + 1);
  const size_t next = text.find("\n### ", entry + 1);
  EXPECT_TRUE(at != std::string::npos && at < next) << routine << ": " << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

bool Mentions(const std::vector<std::string>& problems, const std::string& what) {
  for (const std::string& problem : problems) {
    if (problem.find(what) != std::string::npos) return true;
  }
  return false;
}

TEST(RoutineReference, AgreesWithTheCatalogForEveryRoutine) {
  const std::vector<ReferenceEntry> entries = ParseReference(BuiltInReference());
  const std::vector<std::string> problems = CompareWithCatalog(entries, RoutineCatalog());
  EXPECT_TRUE(problems.empty()) << "docs/routines.md and the routine catalog disagree:\n"
                                << Joined(problems);
  EXPECT_EQ(entries.size(), RoutineCatalog().size());
}

TEST(RoutineReference, CatalogAndPackageRoutineTableHaveTheSameNumbers) {
  for (int32_t selector = -20; selector <= 80; ++selector) {
    const bool inCatalog = standin::FindRoutineInfo(std::to_string(selector)) != nullptr;
    const bool inPackage = nimbus::FindRoutine(selector) != nullptr;
    EXPECT_EQ(inCatalog, inPackage) << "routine " << selector;
  }
}

TEST(RoutineReference, FindsEachDisagreement) {
  struct Case {
    const char* what;
    std::string reference;
    const char* expected;  // part of the problem reported
  };
  const std::vector<Case> cases = {
      {"missing routine", Edited("QueueClear", "### QueueClear", "### QueueWipe"),
       "QueueClear: no entry in the reference"},
      {"entry for no routine", Edited("QueueClear", "### QueueClear", "### QueueWipe"),
       "QueueWipe: an entry for no routine"},
      {"renamed parameter in the table",
       Edited("StreamOpen", "| 2 | `$remotePort` |", "| 2 | `$port` |"),
       "StreamOpen: parameter 2 is named $port in the reference, $remotePort in the catalog"},
      {"renamed parameter in the call form",
       Edited("StreamOpen", "$host;$remotePort;", "$host;$port;"),
       "StreamOpen: the call form passes $port as parameter 2"},
      {"unused parameter given a name", Edited("StreamRelease", "($ref;0)", "($ref;$flags)"),
       "StreamRelease: the call form passes $flags as parameter 2, the catalog names it 0"},
      {"wrong kind", Edited("StreamSendText", "| integer | in |", "| longint | in |"),
       "StreamSendText: parameter 3 has kind longint in the reference, integer in the catalog"},
      {"wrong direction", Edited("StreamReceiveText", "| Text | out |", "| Text | in |"),
       "StreamReceiveText: parameter 2 is marked in in the reference, out in the catalog"},
      {"missing parameter row",
       Edited("DatagramSend", "| 5 | unused | longint | in | not read; pass 0 |\n", ""),
       "DatagramSend: the reference lists 4 parameters, the catalog 5"},
      {"wrong result kind", Edited("QueuePop", "**Result:** Text", "**Result:** string"),
       "QueuePop: the result is string in the reference, Text in the catalog"},
      {"result assigned from a routine without one",
       Edited("QueuePush", "`QueuePush($key;$text)`", "`$x:=QueuePush($key;$text)`"),
       "QueuePush: the call form assigns a result"},
      {"no example", Edited("TimerSince", "```4d\n$ms:=TimerSince($start)", "```\n$ms:=x"),
       "TimerSince: no 4d example"},
      {"two entries",
       std::string(BuiltInReference()) + "\n### NameCopy\n\n`$zero:=NameCopy($name)`\n",
       "NameCopy: two entries"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> problems = ProblemsOf(c.reference);
    EXPECT_TRUE(Mentions(problems, c.expected))
        << c.what << ": expected \"" << c.expected << "\" among:\n"
        << Joined(problems);
  }
}

TEST(RoutineReference, EntriesRunFromTheirHeadingToTheNext) {
  const std::vector<ReferenceEntry> entries = ParseReference(BuiltInReference());
  const ReferenceEntry* open = FindEntry(entries, "streamopen");
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->text.rfind("### StreamOpen\n", 0), 0u);
  EXPECT_NE(open->text.find("**Result:** longint"), std::string::npos);
  EXPECT_EQ(open->text.find("### StreamSendText"), std::string::npos);
  EXPECT_NE(open->text.substr(open->text.size() - 2), "\n\n") << "trailing blank lines kept";
  EXPECT_EQ(FindEntry(entries, "NoSuchRoutine"), nullptr);

  // A heading inside a code block starts no entry; a level-2 heading ends one.
  const std::vector<ReferenceEntry> parsed = ParseReference(
      "## Group\n### One\n`$r:=One`\n```4d\n### Two\n$r:=One\n```\n## Next\ntext\n### Three\n");
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[0].routine, "One");
  EXPECT_TRUE(parsed[0].hasExample);
  EXPECT_EQ(parsed[0].callForm, "$r:=One");
  EXPECT_EQ(parsed[0].text.find("## Next"), std::string::npos);
  EXPECT_EQ(parsed[1].routine, "Three");
}

}  // namespace
