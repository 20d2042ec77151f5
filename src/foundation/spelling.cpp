// Near misses of names: optimal-string-alignment distance, cut off early past the limit.
#include "foundation/spelling.h"

#include <algorithm>
#include <cstdlib>

namespace tarnvik {

int editDistance(std::string_view a, std::string_view b, int limit) {
  const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
  if (std::abs(n - m) > limit) return limit + 1;
  std::vector<int> before(m + 1), previous(m + 1), current(m + 1);
  for (int j = 0; j <= m; ++j) previous[j] = j;
  for (int i = 1; i <= n; ++i) {
    current[0] = i;
    int rowBest = current[0];
    for (int j = 1; j <= m; ++j) {
      int cost = a[i - 1] == b[j - 1] ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) current[j] = std::min(current[j], before[j - 2] + 1);
      rowBest = std::min(rowBest, current[j]);
    }
    if (rowBest > limit) return limit + 1;
    before.swap(previous);
    previous.swap(current);
  }
  return std::min(previous[m], limit + 1);
}

std::string closestName(std::string_view name, const std::vector<std::string>& candidates) {
  constexpr int kLimit = 2;
  std::string best;
  int bestDistance = kLimit + 1;
  for (const std::string& candidate : candidates) {
    if (candidate == name) continue;
    int d = editDistance(name, candidate, kLimit);
    // Two edits in a name of three letters or less is another name, not a slip.
    if (d == 2 && std::min(name.size(), candidate.size()) <= 3) continue;
    if (d < bestDistance) {
      bestDistance = d;
      best = candidate;
    }
  }
  return best;
}

std::string didYouMean(std::string_view name, const std::vector<std::string>& candidates) {
  std::string closest = closestName(name, candidates);
  return closest.empty() ? std::string() : "; did you mean " + closest + "?";
}

}  // namespace tarnvik
