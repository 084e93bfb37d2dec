// Google Benchmark: the intersection test, the row screening, the pair loop,
// scene additions and the redraw. The redraw benchmarks need an X display
// (scripts/bench starts Xvfb); without one they are skipped.
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "display/draw.h"
#include "display/prepare.h"
#include "display/raster.h"
#include "display/view.h"
#include "driver/input.h"
#include "driver/pairs.h"
#include "geometry/intersect.h"
#include "geometry/pair_finder.h"
#include "geometry/scene.h"
#include "support/reference_draw.h"

namespace {

// Start points in [0, 1000]^2, lengths up to 200, as in bench/generate.py.
std::vector<Segment> randomSegments(int n, unsigned seed = 12345) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(0, 1);
  std::vector<Segment> segments;
  for (int k = 0; k < n; ++k) {
    const float x = 1000 * unit(random), y = 1000 * unit(random);
    const float angle = 6.2831853f * unit(random), length = 1 + 199 * unit(random);
    segments.emplace_back(Point(x, y),
                          Point(x + length * std::cos(angle), y + length * std::sin(angle)));
  }
  return segments;
}

void clearScene() {
  scene.points.clear();
  scene.segments.clear();
  scene.minCorner = Point(1024, 700);
  scene.maxCorner = Point(0, 0);
}

LoopOutcome fillScene(std::vector<Segment>& segments) {
  static const int devNull = open("/dev/null", O_WRONLY);
  static auto out = std::make_unique<ReportBuffer>(devNull);
  const LoopOutcome outcome = reportPairs(segments, *out);
  flushReport(*out);
  return outcome;
}

void BM_intersectSegments(benchmark::State& state) {
  // Mixed pairs: mostly apart, some crossing, some collinear and touching.
  std::vector<Segment> segments = randomSegments(4096);
  for (int k = 0; k < 4096; k += 16) segments[k + 1] = Segment(segments[k].B, segments[k].A);
  Point crossing;
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(intersectSegments(segments[k], segments[k ^ 1], &crossing));
    k = (k + 2) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_intersectSegments);

// One row screening per iteration: the first 2,999 random segments against
// the next one, as the pair loop's last row of an n = 3,000 input.
void BM_screenPairs(benchmark::State& state) {
  const std::vector<Segment> segments = randomSegments(3000);
  std::vector<float> ax, ay, bx, by, largest;
  for (const Segment& s : segments) {
    ax.push_back(s.A.x), ay.push_back(s.A.y), bx.push_back(s.B.x), by.push_back(s.B.y);
    largest.push_back(largestMagnitude(s));
  }
  std::vector<unsigned char> mayMeet(segments.size());
  const int count = int(segments.size()) - 1;
  for (auto _ : state) {
    screenPairs({ax.data(), ay.data(), bx.data(), by.data(), largest.data()}, count,
                segments.back(), mayMeet.data());
    benchmark::DoNotOptimize(mayMeet.data());
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_screenPairs);

void BM_pairLoop(benchmark::State& state) {
  std::vector<Segment> segments = randomSegments(int(state.range(0)));
  for (auto _ : state) {
    if (fillScene(segments) != LoopOutcome::Done) state.SkipWithError("out of memory");
    state.PauseTiming();
    clearScene();
    state.ResumeTiming();
  }
  const auto n = state.range(0);
  state.SetItemsProcessed(state.iterations() * n * (n - 1) / 2);
}
BENCHMARK(BM_pairLoop)->Arg(300)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

// Reading a file of the sparse drawings scripts/bench uses (three decimals),
// in bytes of text a second.
void BM_readSegments(benchmark::State& state) {
  std::mt19937 random(1);
  std::uniform_real_distribution<float> coordinate(0, 1000);
  std::string text;
  char line[96];
  for (int k = 0; k < 1000000; ++k) {
    const float x = coordinate(random), y = coordinate(random);
    std::snprintf(line, sizeof line, "%.3f %.3f %.3f %.3f\n", x, y, x + 1.25f, y - 1.25f);
    text += line;
  }
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  for (auto _ : state) {
    std::rewind(file);
    Input input = readSegments(file);
    if (input.segments.count != 1000000) state.SkipWithError("not read");
  }
  std::fclose(file);
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(BM_readSegments)->Unit(benchmark::kMillisecond);

// Segments in [0, 1000]^2 of a length that makes about one meeting pair a
// segment, as scripts/bench --meeting-only makes them: 1.77 for a million.
std::vector<Segment> sparseSegments(int count = 1000000) {
  std::mt19937 random(2);
  std::uniform_real_distribution<float> unit(0, 1);
  const float length = 1.77f * std::sqrt(1e6f / float(count));
  std::vector<Segment> segments;
  for (int k = 0; k < count; ++k) {
    const float x = 1000 * unit(random), y = 1000 * unit(random), a = 6.2831853f * unit(random);
    segments.emplace_back(Point(x, y), Point(x + length * std::cos(a), y + length * std::sin(a)));
  }
  return segments;
}

// The meeting pairs of a million short segments, about one pair a segment.
void BM_findMeetingPairs(benchmark::State& state) {
  std::vector<Segment> segments = sparseSegments();
  PairKeys pairs;
  for (auto _ : state) {
    findMeetingPairs(segments.data(), int(segments.size()), pairs);
  }
  state.counters["pairs"] = double(pairs.size());
}
BENCHMARK(BM_findMeetingPairs)->Unit(benchmark::kMillisecond);

// A view of a scene of a million (or ten million) segments with about as
// many crossing points, painted on the processor as the window paints views
// of huge drawings: the whole scene, or a quarter of its width.
void BM_rasterHugeView(benchmark::State& state) {
  clearScene();
  std::vector<Segment> segments = sparseSegments(int(state.range(1)) * 1000000);
  static const int devNull = open("/dev/null", O_WRONLY);
  auto out = std::make_unique<ReportBuffer>(devNull);
  Drawing drawing;
  if (reportPairs(segments, *out, {.meetingOnly = true}) != LoopOutcome::Done ||
      !prepareScene(drawing)) {
    return state.SkipWithError("no scene");
  }
  const View view{500, 500, 1000 / (2 * std::tan(M_PI / 8)) / double(state.range(0))};
  Placement placement;
  placement.moved = true;
  placement.cx = view.cx;
  placement.cy = view.cy;
  placement.pixelsPerUnit = pixelsPerUnit(view, 700);
  std::vector<std::uint8_t> pixels;
  RasterCanvases canvases;
  for (auto _ : state) rasterDrawing(drawing, placement, 1024, 700, pixels, canvases);
  clearScene();
}
BENCHMARK(BM_rasterHugeView)
    ->Args({1, 1})
    ->Args({4, 1})
    ->Args({1, 10})
    ->Args({4, 10})
    ->Unit(benchmark::kMillisecond);

void BM_addSegment(benchmark::State& state) {
  const Segment s(Point(1, 2), Point(3, 4));
  for (auto _ : state) {
    for (int k = 0; k < 1'000'000; ++k) {
      if (!addSegment(s, Red)) state.SkipWithError("out of memory");
    }
    state.PauseTiming();
    clearScene();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 1'000'000);
}
BENCHMARK(BM_addSegment)->Unit(benchmark::kMillisecond);

// The window of the n = 1,000 scene, framed as the program frames it.
// The drawing of the redraw benchmarks' scene.
Drawing& theDrawing() {
  static Drawing drawing;
  return drawing;
}

bool openSceneWindow() {
  static int state = 0;  // 0 not tried, 1 open, -1 no display
  if (state != 0) return state > 0;
  state = -1;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return false;
  std::vector<Segment> segments = randomSegments(1000);
  if (fillScene(segments) != LoopOutcome::Done) return false;
  int argc = 1;
  char name[] = "benchmarks";
  char* argv[] = {name, nullptr};
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 700);
  glutCreateWindow("benchmark");
  glClearColor(0.9f, 0.9f, 0.8f, 0.0f);
  const View view = frameView(scene.minCorner, scene.maxCorner);
  glViewport(0, 0, 1024, 700);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(-float(view.cx), -float(view.cy), float(-view.dist));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45, 1024.0 / 700, nearPlane(view), farPlane(view));
  if (!prepareScene(theDrawing())) return false;
  state = 1;
  return true;
}

void BM_redrawPrepared(benchmark::State& state) {
  if (!openSceneWindow()) return state.SkipWithError("no X display");
  PaintCache cache;
  for (auto _ : state) {
    paintScene(theDrawing(), Placement{}, cache);
    glFinish();
  }
  state.counters["stored_segments"] = double(scene.segments.size());
}
BENCHMARK(BM_redrawPrepared)->Unit(benchmark::kMillisecond);

void BM_redrawEveryFigure(benchmark::State& state) {
  if (!openSceneWindow()) return state.SkipWithError("no X display");
  for (auto _ : state) {
    paintSceneImmediate();
    glFinish();
  }
}
BENCHMARK(BM_redrawEveryFigure)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
