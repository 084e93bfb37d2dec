// What the tests of hostile inputs and of the output share: counts of
// report lines, and inputs made to measure.
#pragma once

#include <algorithm>
#include <random>
#include <regex>
#include <string>

namespace hostile {

inline int lineCount(const std::string& text) {
  return int(std::count(text.begin(), text.end(), '\n'));
}

// n segments, all pairwise distinct, in a few thousand bytes per hundred.
inline std::string randomSegments(int n, unsigned seed = 1) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> coordinate(0, 1000);
  std::string text;
  for (int k = 0; k < 4 * n; ++k) text += std::to_string(coordinate(random)) + " ";
  return text;
}

inline bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Every line of a report is one of the three, whole.
inline bool wholeReportLines(const std::string& text) {
  static const std::regex line(
      "Duzi [0-9]+ i [0-9]+ (nemaju presecnih tacaka|imaju presecnu "
      "tacku|se poklapaju)");
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    if (!std::regex_match(text.begin() + long(start), text.begin() + long(end), line)) return false;
  }
  return start == text.size();
}

}  // namespace hostile
