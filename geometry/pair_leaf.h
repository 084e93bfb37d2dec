// The test of the pairs in one cell of the index: which of them the cell
// is the one to test, by the rule in pair_index.h, screened many at a time
// and then tested, the pairs that meet kept.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "pair_index.h"

// A cell the pairs are tested in, as a path: the top cell, then the cell of
// the grid that divides it where it is crowded, and so on down.
struct Level {
  pair_index::Grid grid;
  int c, r;
};

// The cells of a round, one after another, as one thread of the search
// tests them.
class LeafTest {
 public:
  LeafTest(const PairIndex& index, int lower, int upper);

  // The cell's segments, at `positions` in the index's items: the traced
  // ones last, where pairs of two of them are found apart.
  void gather(const std::uint32_t* positions, std::size_t count);

  // Every pair of the gathered segments whose rule names the cell `path`
  // leads to, its later segment in [lower, upper): screened, tested and, if
  // they meet, kept. Every 65,536 pairs looked at, `keepGoing` is asked;
  // false ends the search of the cell.
  void search(const std::vector<Level>& path, const std::function<bool()>& keepGoing);

  // Tests the candidates waiting for it.
  void testWaiting();

  PairKeys keys;  // the pairs that meet
  int upper;      // pairs whose later segment lies at or above this are not kept
  // What the search cost since these were last taken: pairs looked at, tests
  // that found the pair apart, and pairs the screening settled.
  std::uint64_t lookedAt = 0, wasted = 0, settled = 0;

 private:
  // Candidates are screened this many at a time before the test.
  static constexpr int batchSize = 256;

  // A segment as the search of one cell looks at it.
  struct Near {
    pair_index::Rect box;  // widened
    const pair_index::Item* item;
    int c0, r0;  // the top cell of the box's lower left corner
    bool traced;
  };

  // Candidate pairs waiting for the screening, side by side for it.
  struct Batch {
    float coordinates[10][batchSize];  // ax, ay, bx, by, largest of the earlier, then of the later
    std::int32_t earlier[batchSize], later[batchSize];
    unsigned char mayMeet[batchSize];
    int size = 0;

    void add(const pair_index::Item& e, const pair_index::Item& l) {
      const pair_index::Item* both[2] = {&e, &l};
      for (int side = 0; side < 2; ++side) {
        const pair_index::Item& s = *both[side];
        float* c = &coordinates[5 * side][size];
        c[0] = s.ax, c[batchSize] = s.ay, c[2 * batchSize] = s.bx, c[3 * batchSize] = s.by;
        c[4 * batchSize] = std::max(std::max(std::fabs(s.ax), std::fabs(s.ay)),
                                    std::max(std::fabs(s.bx), std::fabs(s.by)));
      }
      earlier[size] = e.index();
      later[size] = l.index();
      ++size;
    }
    EndPoints side(int k) const {
      const float(*c)[batchSize] = &coordinates[5 * k];
      return {c[0], c[1], c[2], c[3], c[4]};
    }
    Segment segment(int side, int k) const {
      const float(*c)[batchSize] = &coordinates[5 * side];
      return Segment(Point(c[0][k], c[1][k]), Point(c[2][k], c[3][k]));
    }
  };

  bool onPath(double x, double y) const;
  void placeExactly(const pair_index::Item& a, const pair_index::Item& b);
  void candidate(const pair_index::Item& a, const pair_index::Item& b);

  const PairIndex& index_;
  const int lower_;
  const std::vector<Level>* path_ = nullptr;  // the cell searched
  std::size_t untraced_ = 0;                  // here_[0, untraced_) are not traced
  std::vector<Near> here_;
  Batch batch_;
};
