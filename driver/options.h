// The command line: segments [OPTIONS] [FILE]. The windowing toolkit's own
// options (-display, -geometry, ...) are set aside and go to the toolkit.
#pragma once

#include <string>
#include <vector>

struct Options {
  std::string file = "test.txt";  // "-" is standard input
  bool window = true;             // false with --no-window
  std::string png;                // --png PATH: the first frame into a file instead
  std::string size;               // --size WxH: the picture's, in pixels
  int pictureWidth = 1024;        // as the window's first frame
  int pictureHeight = 700;
  bool meetingOnly = false;  // --meeting-only, -m: only the pairs that meet
  bool csv = false;          // --csv: rows for other programs instead of sentences
  bool allPairs = false;     // --all-pairs: a map's report of every pair
  bool touches = false;      // --touches: a map's pairs that only touch, too
  std::string layer;         // --layer NAME: one layer of a map
  std::string crossings;     // --crossings PATH: a map's crossings as a layer
  bool exact = false;        // --exact: text judged exactly, as maps are
  bool tolerance = false;    // --tolerance: a map judged by the exercise's rules
  bool help = false;
  bool version = false;
  std::string error;               // a usage error, as one line for standard error
  std::vector<char*> toolkitArgs;  // argv[0] and the toolkit's options, then nullptr
};

Options parseOptions(int argc, char** argv);

// The text of --help.
extern const char* const usageText;
