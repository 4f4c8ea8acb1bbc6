// The nearest known word to a mistyped command or option.
#ifndef ZORMIX_CLI_SUGGEST_H_
#define ZORMIX_CLI_SUGGEST_H_

#include <string>
#include <vector>

namespace zormix::cli {

// Levenshtein distance: the fewest insertions, deletions and substitutions turning a into b.
std::size_t EditDistance(const std::string& a, const std::string& b);

// The candidate nearest to `word` when it is close enough to be a typo of it: at most two edits
// and fewer than half the word's letters. Empty otherwise; the first of equally near ones wins.
std::string NearestWord(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace zormix::cli

#endif  // ZORMIX_CLI_SUGGEST_H_
