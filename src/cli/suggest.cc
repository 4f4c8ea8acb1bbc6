#include "cli/suggest.h"

#include <algorithm>
#include <numeric>

namespace zormix::cli {

std::size_t EditDistance(const std::string& a, const std::string& b) {
  // row[j]: distance between the first i letters of a and the first j of b.
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string NearestWord(const std::string& word, const std::vector<std::string>& candidates) {
  constexpr std::size_t kMaxEdits = 2;
  std::string nearest;
  std::size_t best = std::min(kMaxEdits + 1, (word.size() + 1) / 2);
  for (const std::string& candidate : candidates) {
    const std::size_t distance = EditDistance(word, candidate);
    if (distance < best) {
      best = distance;
      nearest = candidate;
    }
  }
  return nearest;
}

}  // namespace zormix::cli
