// Finding a text in another with letters compared without regard to case (ASCII A-Z only,
// as every comparison of the language does), in one pass over the searched text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nimbus_script {

// The lower-case form of an ASCII letter; every other byte as it is.
inline unsigned char FoldLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// The occurrences of one pattern in one text. Find() answers the first occurrence at or after
// a byte index. Successive calls with non-decreasing indexes together read the text once
// (plus the pattern's length per match), whatever the pattern and the text: a mismatch never
// steps back (Knuth-Morris-Pratt), and the scan for the pattern's first byte uses memchr
// with the next place of each case remembered between calls.
class FoldedSearch {
 public:
  // Both views must outlive the search. An empty pattern is found nowhere.
  FoldedSearch(std::string_view pattern, std::string_view text);

  // Byte index of the first occurrence starting at `from` or later, or std::string::npos.
  size_t Find(size_t from);

 private:
  // First index >= `from` holding the pattern's first byte in either case, or the text's size.
  size_t NextCandidate(size_t from);

  std::string pattern_;         // folded
  std::vector<size_t> border_;  // border_[i]: longest proper border of pattern_[0..i]
  std::string_view text_;
  unsigned char first_[2] = {};  // the pattern's first byte in its two cases (equal if no letter)
  size_t next_[2] = {};          // where first_[k] next occurs at or after scanned_[k]
  size_t scanned_[2] = {};
  bool known_[2] = {};
};

}  // namespace nimbus_script
