// A counting sort by bucket, the one way items are grouped here: pairs into
// report rows, figures into the drawing's cells, segments and pairs for the
// window's lookups.
#pragma once

#include <algorithm>
#include <cstddef>

// Groups items by bucket in two passes over them. `countAll(count)` calls
// count(bucket) once for every item; `placeAll(place)` goes over the same
// items in the same order and calls place(bucket), which gives the item's
// slot: the slots of bucket b are [start[b], start[b + 1]), its items in the
// order they were placed. `start` holds buckets + 1 entries, and no other
// room is needed.
template <class Index, class CountAll, class PlaceAll>
void sortIntoBuckets(Index* start, std::size_t buckets, CountAll countAll, PlaceAll placeAll) {
  std::fill(start, start + buckets + 1, Index(0));
  countAll([start](std::size_t bucket) { ++start[bucket + 1]; });
  for (std::size_t b = 1; b <= buckets; ++b) start[b] += start[b - 1];
  // start[b] is the next free slot of bucket b as its items are placed...
  placeAll([start](std::size_t bucket) { return start[bucket]++; });
  // ... which leaves each at the start of the next bucket.
  std::copy_backward(start, start + buckets, start + buckets + 1);
  start[0] = 0;
}
