#include "segment_array.h"

#include <cstdlib>

#include "geometry/pages.h"

SegmentArray& SegmentArray::operator=(SegmentArray&& other) noexcept {
  if (this != &other) {
    release();
    items = other.items, count = other.count, capacity = other.capacity, mapped = other.mapped;
    other.items = nullptr, other.count = other.capacity = 0, other.mapped = 0;
  }
  return *this;
}

void SegmentArray::release() {
  if (mapped) {
    releasePages(items, mapped);
  } else {
    std::free(items);
  }
  items = nullptr, count = capacity = 0, mapped = 0;
}
