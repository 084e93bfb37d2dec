// The program's answers on a map layer against GEOS's: every pair whose
// boxes meet, classified by GEOS and lifted to the lines, beside the pairs
// `segments --csv --touches` reports, as a table of the one against the
// other, with examples of every disagreement.
//
// usage: geos_check LAYER [OPTION...]   (options go on to the program, as
//                                        --tolerance)
// Ends with status 0 where they agree on every pair, 1 where they do not.
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/geos_referee.h"

namespace {

enum Column { Cross, Touch, Overlap, Disjoint };
const char* const columnNames[] = {"cross", "touch", "overlap", "disjoint"};
enum Row { ProgramCross, ProgramTouch, ProgramOverlap, NotReported };
const char* const rowNames[] = {"cross", "touch", "overlap", "not reported"};

Column columnOf(RefereeClass kind) {
  switch (kind) {
    case RefereeClass::Cross:
      return Cross;
    case RefereeClass::Touch:
      return Touch;
    case RefereeClass::Overlap:
      return Overlap;
    case RefereeClass::None:
      break;
  }
  return Disjoint;
}

// The pairs the program reports, by (first, second), from its CSV.
bool programPairs(const std::string& command, std::map<std::pair<int, int>, Row>& pairs) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char line[4096];
  bool header = true;
  while (std::fgets(line, sizeof line, pipe)) {
    if (header) {
      header = false;
      continue;
    }
    int first = 0, second = 0;
    char result[16] = {};
    if (std::sscanf(line, "%d,%d,%15[a-z]", &first, &second, result) != 3) continue;
    const std::string r = result;
    pairs[{first, second}] = r == "cross"   ? ProgramCross
                             : r == "touch" ? ProgramTouch
                                            : ProgramOverlap;
  }
  return pclose(pipe) == 0;
}

void printSegment(const RefereeLayer& layer, int k) {
  const RefereeSegment& s = layer.segments[std::size_t(k)];
  std::printf("%d (%.17g %.17g, %.17g %.17g)", k, s.ax, s.ay, s.bx, s.by);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: geos_check LAYER [OPTION...]\n");
    return 64;
  }
  const std::string layerPath = argv[1];
  std::string options;
  for (int k = 2; k < argc; ++k) options += std::string(" '") + argv[k] + "'";
  RefereeLayer layer;
  std::string error;
  if (!readRefereeLayer(layerPath, layer, error)) {
    std::fprintf(stderr, "geos_check: %s: %s\n", layerPath.c_str(), error.c_str());
    return 2;
  }
  std::map<std::pair<int, int>, Row> reported;
  const std::string program = std::string(SEGMENTS_PROGRAM) + " --csv --touches --no-window" +
                              options + " '" + layerPath + "' 2>/dev/null";
  if (!programPairs(program, reported)) {
    std::fprintf(stderr, "geos_check: the program failed: %s\n", program.c_str());
    return 2;
  }
  long long table[4][4] = {};
  std::vector<std::pair<int, int>> examples[4][4];
  const auto count = [&](Row row, Column column, int j, int i) {
    ++table[row][column];
    const bool agree = int(row) == int(column) || (row == NotReported && column == Disjoint);
    if (!agree && examples[row][column].size() < 3) examples[row][column].emplace_back(j, i);
  };
  for (const RefereePair& p : refereePairs(layer)) {
    const auto found = reported.find({p.j, p.i});
    count(found == reported.end() ? NotReported : found->second, columnOf(p.kind), p.j, p.i);
    if (found != reported.end()) reported.erase(found);
  }
  for (const auto& [pair, row] : reported) count(row, Disjoint, pair.first, pair.second);

  std::printf("%zu segments; the program (rows) against GEOS (columns):\n", layer.segments.size());
  std::printf("%-14s", "");
  for (const char* name : columnNames) std::printf("%12s", name);
  std::printf("\n");
  long long disagreements = 0;
  for (int row = 0; row < 4; ++row) {
    std::printf("%-14s", rowNames[row]);
    for (int column = 0; column < 4; ++column) {
      if (row == NotReported && column == Disjoint) {
        std::printf("%12s", "-");
        continue;
      }
      std::printf("%12lld", table[row][column]);
      if (row != column) disagreements += table[row][column];
    }
    std::printf("\n");
  }
  std::printf("disagreements: %lld\n", disagreements);
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      for (const auto& [j, i] : examples[row][column]) {
        std::printf("  %s, GEOS %s: ", rowNames[row], columnNames[column]);
        printSegment(layer, j);
        std::printf(" and ");
        printSegment(layer, i);
        std::printf("\n");
      }
    }
  }
  return disagreements == 0 ? 0 : 1;
}
