// What the bar's tree view keeps of a label. Window-free, so that the keeper
// (which compares labels as the tree keeps them) and favtool (which says
// which labels the bar shortens) count by the same limit the bar reads by.
#pragma once

#include <cstddef>

// The tree hands labels back into buffers one unit longer, for the terminator.
constexpr std::size_t kTreeLabelUnits = 259;
