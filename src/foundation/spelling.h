// Near misses of names: the "did you mean" of diagnostics.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnvik {

// Edits between two names (insert, delete, replace, or swap of two neighbours), counted up to
// limit + 1.
int editDistance(std::string_view a, std::string_view b, int limit);
// The candidate one or two edits away from `name` (the nearest; the first of equals), else empty.
std::string closestName(std::string_view name, const std::vector<std::string>& candidates);
// "; did you mean X?" for the closest candidate, else empty.
std::string didYouMean(std::string_view name, const std::vector<std::string>& candidates);

}  // namespace tarnvik
