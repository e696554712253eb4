// Case-insensitive search in one pass: Knuth-Morris-Pratt over folded bytes, with memchr
// skipping to the next possible start while nothing is matched.
#include "folded_search.h"

#include <algorithm>
#include <cstring>

namespace nimbus_script {

FoldedSearch::FoldedSearch(std::string_view pattern, std::string_view text)
    : pattern_(pattern), text_(text) {
  for (char& c : pattern_) c = static_cast<char>(FoldLetter(static_cast<unsigned char>(c)));
  border_.assign(pattern_.size(), 0);
  for (size_t i = 1, k = 0; i < pattern_.size(); ++i) {
    while (k > 0 && pattern_[i] != pattern_[k]) k = border_[k - 1];
    if (pattern_[i] == pattern_[k]) ++k;
    border_[i] = k;
  }
  if (!pattern_.empty()) {
    const unsigned char lower = static_cast<unsigned char>(pattern_[0]);
    first_[0] = lower;
    first_[1] =
        (lower >= 'a' && lower <= 'z') ? static_cast<unsigned char>(lower - 'a' + 'A') : lower;
  }
}

size_t FoldedSearch::NextCandidate(size_t from) {
  const size_t size = text_.size();
  const int cases = first_[0] == first_[1] ? 1 : 2;
  size_t best = size;
  for (int k = 0; k < cases; ++k) {
    // next_[k] is the first place of first_[k] at or after scanned_[k] (the size when there
    // is none): it still answers for any `from` between the two, so each case's memchr
    // calls together read the text once.
    if (!known_[k] || from < scanned_[k] || from > next_[k]) {
      const void* hit = std::memchr(text_.data() + from, first_[k], size - from);
      next_[k] = hit ? static_cast<size_t>(static_cast<const char*>(hit) - text_.data()) : size;
      scanned_[k] = from;
      known_[k] = true;
    }
    best = std::min(best, next_[k]);
  }
  return best;
}

size_t FoldedSearch::Find(size_t from) {
  const size_t size = text_.size();
  const size_t length = pattern_.size();
  if (length == 0 || from > size || size - from < length) return std::string::npos;
  size_t matched = 0;
  for (size_t i = from; i < size; ++i) {
    if (matched == 0) {
      i = NextCandidate(i);
      if (size - i < length) return std::string::npos;
    }
    const char c = static_cast<char>(FoldLetter(static_cast<unsigned char>(text_[i])));
    while (matched > 0 && c != pattern_[matched]) matched = border_[matched - 1];
    if (c == pattern_[matched]) ++matched;
    if (matched == length) return i + 1 - length;
  }
  return std::string::npos;
}

}  // namespace nimbus_script
