// The search in the cells of the index, the heart of one round.
#pragma once

#include <cstdint>

#include "pair_index.h"

// The meeting pairs the cells find whose later segment lies in
// [lower, upper), unsorted, in `pairs`, one list for each thread. `upper`
// is as far as the pairs held at once allow. Dense once the search has
// cost more than `costLimit` (pairs looked at in a cell, a test that finds
// nothing counted as eight), and `cost` says what it came to. Pairs of two
// traced segments are left out where index.tracedApart.
PairSearch searchCells(PairIndex& index, int lower, std::uint64_t costLimit, int& upper,
                       PairKeys (&pairs)[2], std::uint64_t& cost);
