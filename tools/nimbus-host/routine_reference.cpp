// Reading the routine reference and checking it against the routine catalog.
#include "routine_reference.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace nimbus_host {
namespace {

using standin::Kind;
using standin::RoutineInfo;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The level of a markdown heading line ("### x" is 3), 0 for any other line.
int HeadingLevel(std::string_view line) {
  size_t level = 0;
  while (level < line.size() && line[level] == '#') ++level;
  if (level == 0 || level > 6 || level >= line.size() || line[level] != ' ') return 0;
  return int(level);
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The cells of a table row "| a | b |", trimmed, backquotes removed.
std::vector<std::string> Cells(std::string_view row) {
  std::vector<std::string> cells;
  row = Trim(row);
  if (row.size() < 2 || row.front() != '|' || row.back() != '|') return cells;
  row = row.substr(1, row.size() - 2);
  while (true) {
    const size_t bar = row.find('|');
    std::string cell(Trim(row.substr(0, bar)));
    cell.erase(std::remove(cell.begin(), cell.end(), '`'), cell.end());
    cells.push_back(cell);
    if (bar == std::string_view::npos) break;
    row.remove_prefix(bar + 1);
  }
  return cells;
}

bool IsNumber(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The first backquoted span of the line that calls the routine: "`$r:=Name(...)`" or
// "`Name`" for a routine without parameters.
std::string CallFormIn(std::string_view line, const std::string& routine) {
  for (size_t open = line.find('`'); open != std::string_view::npos;) {
    const size_t close = line.find('`', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view span = line.substr(open + 1, close - open - 1);
    const size_t assign = span.find(":=");
    std::string_view call = assign == std::string_view::npos ? span : span.substr(assign + 2);
    if (call.substr(0, routine.size()) == routine &&
        (call.size() == routine.size() || call[routine.size()] == '(')) {
      return std::string(span);
    }
    open = line.find('`', close + 1);
  }
  return "";
}

void ReadEntryLine(std::string_view line, bool inCode, ReferenceEntry* entry) {
  if (inCode) {
    if (line.find(entry->routine) != std::string_view::npos) entry->hasExample = true;
    return;
  }
  if (entry->callForm.empty()) entry->callForm = CallFormIn(line, entry->routine);
  const std::vector<std::string> cells = Cells(line);
  if (cells.size() >= 4 && IsNumber(cells[0])) {
    entry->params.push_back({cells[0], cells[1], cells[2], cells[3]});
  }
  const std::string_view resultMark = "**Result:**";
  if (entry->resultKind.empty() && StartsWith(line, resultMark)) {
    std::string_view kind = Trim(line.substr(resultMark.size()));
    kind = kind.substr(0, std::min({kind.find(" -"), kind.find(':'), kind.find('.'), kind.find(','),
                                    kind.find(';')}));
    entry->resultKind = std::string(Trim(kind));
  }
}

Kind KindOfWord(const std::string& word) {
  static const std::map<std::string, Kind> kinds = {{"longint", Kind::kLongint},
                                                    {"integer", Kind::kInteger},
                                                    {"string", Kind::kString},
                                                    {"Text", Kind::kText},
                                                    {"picture", Kind::kBlock},
                                                    {"BLOB", Kind::kBlock},
                                                    {"picture or BLOB", Kind::kBlock},
                                                    {"date", Kind::kDate},
                                                    {"none", Kind::kNone}};
  const auto found = kinds.find(word);
  return found == kinds.end() ? Kind(-1) : found->second;
}

// The call form's routine name, parameters and whether it assigns a result.
struct CallForm {
  std::string routine;
  std::vector<std::string> args;
  bool assigns = false;
  bool wellFormed = false;
};

CallForm ParseCallForm(std::string_view text) {
  CallForm form;
  const size_t assign = text.find(":=");
  if (assign != std::string_view::npos) {
    form.assigns = true;
    text.remove_prefix(assign + 2);
  }
  const size_t open = text.find('(');
  form.routine = std::string(text.substr(0, open));
  if (open == std::string_view::npos) {
    form.wellFormed = !form.routine.empty();
    return form;
  }
  if (text.back() != ')') return form;
  std::string_view args = text.substr(open + 1, text.size() - open - 2);
  while (true) {
    const size_t semicolon = args.find(';');
    form.args.emplace_back(Trim(args.substr(0, semicolon)));
    if (semicolon == std::string_view::npos) break;
    args.remove_prefix(semicolon + 1);
  }
  form.wellFormed = true;
  return form;
}

void CompareEntry(const ReferenceEntry& entry, const RoutineInfo& info,
                  std::vector<std::string>* problems) {
  auto problem = [&](const std::string& what) { problems->push_back(info.name + ": " + what); };
  const size_t count = info.params.size();
  auto expectedName = [&](size_t i) {
    return info.names[i] == standin::kUnusedParameter ? info.names[i] : "$" + info.names[i];
  };

  if (entry.params.size() != count) {
    problem("the reference lists " + std::to_string(entry.params.size()) +
            " parameters, the catalog " + std::to_string(count));
  }
  for (size_t i = 0; i < std::min(count, entry.params.size()); ++i) {
    const ReferenceParam& param = entry.params[i];
    const std::string n = std::to_string(i + 1);
    if (param.number != n) problem("parameter row " + n + " is numbered " + param.number);
    if (param.name != expectedName(i)) {
      problem("parameter " + n + " is named " + param.name + " in the reference, " +
              expectedName(i) + " in the catalog");
    }
    if (KindOfWord(param.kind) != info.params[i]) {
      problem("parameter " + n + " has kind " + param.kind + " in the reference, " +
              standin::KindName(info.params[i]) + " in the catalog");
    }
    const std::string direction = info.outputs[i] ? "out" : "in";
    if (param.direction != direction) {
      problem("parameter " + n + " is marked " + param.direction + " in the reference, " +
              direction + " in the catalog");
    }
  }

  const CallForm form = ParseCallForm(entry.callForm);
  if (!form.wellFormed) {
    problem("no call form `" + info.name + "(...)` in the entry");
  } else {
    if (form.args.size() != count) {
      problem("the call form passes " + std::to_string(form.args.size()) + " parameters, the " +
              "catalog has " + std::to_string(count));
    }
    for (size_t i = 0; i < std::min(count, form.args.size()); ++i) {
      const std::string expected =
          info.names[i] == standin::kUnusedParameter ? "0" : "$" + info.names[i];
      if (form.args[i] != expected) {
        problem("the call form passes " + form.args[i] + " as parameter " + std::to_string(i + 1) +
                ", the catalog names it " + expected);
      }
    }
    if (form.assigns != (info.result != Kind::kNone)) {
      problem(form.assigns ? "the call form assigns a result the routine does not give"
                           : "the call form drops the routine's result");
    }
  }

  if (entry.resultKind.empty()) {
    problem("no **Result:** line");
  } else if (KindOfWord(entry.resultKind) != info.result) {
    problem("the result is " + entry.resultKind + " in the reference, " +
            standin::KindName(info.result) + " in the catalog");
  }
  if (!entry.hasExample) problem("no 4d example that calls the routine");
}

}  // namespace

std::vector<ReferenceEntry> ParseReference(std::string_view markdown) {
  std::vector<ReferenceEntry> entries;
  ReferenceEntry* entry = nullptr;
  bool inCode = false;
  bool inExample = false;  // in a code block marked 4d
  for (std::string_view line : Lines(markdown)) {
    if (StartsWith(line, "```")) {
      inCode = !inCode;
      inExample = inCode && Trim(line.substr(3)) == "4d";
      if (entry != nullptr) entry->text += std::string(line) + "\n";
      continue;
    }
    const int level = inCode ? 0 : HeadingLevel(line);
    if (level >= 1 && level <= 3) {
      entry = nullptr;
      if (level == 3) {
        entries.push_back({});
        entry = &entries.back();
        entry->routine = std::string(Trim(line.substr(4)));
      }
    }
    if (entry == nullptr) continue;
    entry->text += std::string(line) + "\n";
    if (!inCode || inExample) ReadEntryLine(line, inCode, entry);
  }
  for (ReferenceEntry& e : entries) {
    while (e.text.size() >= 2 && e.text[e.text.size() - 1] == '\n' &&
           e.text[e.text.size() - 2] == '\n') {
      e.text.pop_back();
    }
  }
  return entries;
}

const ReferenceEntry* FindEntry(const std::vector<ReferenceEntry>& entries,
                                const std::string& routine) {
  const std::string wanted = Lower(routine);
  for (const ReferenceEntry& entry : entries) {
    if (Lower(entry.routine) == wanted) return &entry;
  }
  return nullptr;
}

std::vector<std::string> CompareWithCatalog(const std::vector<ReferenceEntry>& entries,
                                            const std::vector<RoutineInfo>& catalog) {
  std::vector<std::string> problems;
  std::map<std::string, int> seen;
  for (const ReferenceEntry& entry : entries) {
    if (++seen[entry.routine] == 2) problems.push_back(entry.routine + ": two entries");
    const bool known = std::any_of(catalog.begin(), catalog.end(),
                                   [&](const RoutineInfo& i) { return i.name == entry.routine; });
    if (!known) problems.push_back(entry.routine + ": an entry for no routine of the catalog");
  }
  for (const RoutineInfo& info : catalog) {
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const ReferenceEntry& e) {
      return e.routine == info.name;
    });
    if (found == entries.end()) {
      problems.push_back(info.name + ": no entry in the reference");
      continue;
    }
    CompareEntry(*found, info, &problems);
  }
  return problems;
}

}  // namespace nimbus_host
