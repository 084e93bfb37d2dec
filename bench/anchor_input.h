// The segments of a file for the anchor programs: four numbers a segment,
// read with std::from_chars, so that the anchors' times are their search.
#pragma once

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

struct AnchorSegment {
  float x1, y1, x2, y2;
};

inline std::vector<AnchorSegment> readAnchorInput(const char* path) {
  std::vector<AnchorSegment> segments;
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return segments;
  std::string text;
  char block[1 << 16];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, n);
  std::fclose(file);
  const char* at = text.data();
  const char* end = at + text.size();
  float v[4];
  for (int k = 0;; k = (k + 1) % 4) {
    while (at != end && (*at == ' ' || *at == '\n' || *at == '\t' || *at == '\r')) ++at;
    if (at == end) break;
    at = std::from_chars(at, end, v[k]).ptr;
    if (k == 3) segments.push_back({v[0], v[1], v[2], v[3]});
  }
  return segments;
}
