// The command line of the real program, run in a temporary directory: each
// option as --help tells it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/program_runner.h"

namespace {

const std::string crossing01 = "Duzi 0 i 1 imaju presecnu tacku\n";
const std::string noData = "Ulazni fajl ne sadrzi podatke ni o jednoj duzi\n";

// The command line: segments [OPTIONS] [FILE].
struct OptionCase {
  const char* name;
  std::vector<std::string> args;
  std::string out;  // exactly, or its start when `outStarts`
  int status;
  std::string errContains = "";
  RunOptions options = headless;
  bool outStarts = false;
};

void PrintTo(const OptionCase& c, std::ostream* os) {
  *os << c.name;
}

class CommandLine : public testing::TestWithParam<OptionCase> {};

TEST_P(CommandLine, DoesWhatItSays) {
  const OptionCase& c = GetParam();
  TempDir dir;
  dir.write("test.txt", "0 0 1 0\n0 5 1 5\n");  // a report of its own: not meeting
  dir.write("ulaz.txt", "0 0 4 4 0 4 4 0");
  dir.write("prazan.txt", "");
  dir.write("csv.txt", "-1 0 1 0\n0 0 2 0\n0.0100000035 -1 0.0100000035 1\n");
  RunOptions options = c.options;
  options.args = c.args;
  const RunResult r = runProgram(dir.path, options);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(c.outStarts ? r.out.substr(0, c.out.size()) : r.out, c.out);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_NE(r.err.find(c.errContains), std::string::npos) << r.err;
  if (c.status == 64) {
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

const RunOptions displaySet{.env = {{"DISPLAY", ":31999"}}};  // a display nobody serves

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLine,
    testing::Values(
        OptionCase{
            "help", {"--help"}, "Upotreba: segments [OPCIJE] [FAJL]\n", 0, "", headless, true},
        OptionCase{"h", {"-h"}, "Upotreba: segments [OPCIJE] [FAJL]\n", 0, "", headless, true},
        OptionCase{"version", {"--version"}, "segments ", 0, "", headless, true},
        OptionCase{"file", {"--no-window", "ulaz.txt"}, crossing01, 0},
        OptionCase{"standard_input",
                   {"--no-window", "-"},
                   crossing01,
                   0,
                   "",
                   {.stdinText = "0 0 4 4 0 4 4 0"}},
        OptionCase{"no_window_with_a_display_set",
                   {"--no-window"},
                   "Duzi 0 i 1 nemaju presecnih tacaka\n",
                   0,
                   "",
                   displaySet},
        OptionCase{"unknown_option", {"--bogus"}, "", 64, "--bogus"},
        OptionCase{"unknown_option_points_to_help", {"-x", "ulaz.txt"}, "", 64, "--help"},
        OptionCase{"two_files", {"ulaz.txt", "test.txt"}, "", 64, "test.txt"},
        OptionCase{"png_without_a_path", {"--png"}, "", 64, "--png"},
        OptionCase{"meeting_only", {"-m", "--no-window", "ulaz.txt"}, crossing01, 0},
        OptionCase{"meeting_only_leaves_out_apart_pairs", {"--meeting-only", "--no-window"}, "", 0},
        // Rows for other programs: a crossing's coordinates, shortest
        // decimals that read back as the same floats.
        OptionCase{"csv_crossing",
                   {"--csv", "--no-window", "ulaz.txt"},
                   "first,second,result,x,y\n0,1,cross,2,2\n",
                   0},
        OptionCase{
            "csv_apart", {"--csv", "--no-window"}, "first,second,result,x,y\n0,1,none,,\n", 0},
        OptionCase{"csv_overlap_and_nine_digits",
                   {"--csv", "--no-window", "csv.txt"},
                   "first,second,result,x,y\n0,1,overlap,,\n0,2,cross,0.00999999,0\n"
                   "1,2,cross,0.0100000035,0\n",
                   0},
        OptionCase{"csv_meeting_only",
                   {"--csv", "-m", "--no-window", "csv.txt"},
                   "first,second,result,x,y\n0,1,overlap,,\n0,2,cross,0.00999999,0\n"
                   "1,2,cross,0.0100000035,0\n",
                   0},
        // Judged exactly, the crossing is where the vertical line lies, as
        // a double: the float 0.0100000035 itself.
        OptionCase{"csv_exact",
                   {"--csv", "--exact", "--no-window", "csv.txt"},
                   "first,second,result,x,y\n0,1,overlap,,\n0,2,cross,0.01000000350177288,0\n"
                   "1,2,cross,0.01000000350177288,0\n",
                   0},
        OptionCase{"exact_and_tolerance", {"--exact", "--tolerance"}, "", 64, "--tolerance"},
        // With --csv, standard output holds CSV alone: the messages go to
        // standard error, and an empty input is an empty table.
        OptionCase{"csv_of_an_empty_input",
                   {"--csv", "--no-window", "prazan.txt"},
                   "first,second,result,x,y\n",
                   0,
                   noData},
        OptionCase{"csv_of_a_bad_token",
                   {"--csv", "--no-window", "-"},
                   "",
                   2,
                   "Greska! Neispravan podatak za duz 0 u ulaznom fajlu: x\n",
                   {.stdinText = "0 x"}},
        OptionCase{"csv_of_a_missing_file",
                   {"--csv", "nema.txt"},
                   "",
                   1,
                   "Greska! Ne mogu da otvorim ulazni fajl.\n",
                   {.stdinText = "ab"}},
        // Standard error names the file and why; with --no-window nothing is
        // awaited (standard input stays open here).
        OptionCase{"missing_file_named",
                   {"--no-window", "nema.txt"},
                   "Greska! Ne mogu da otvorim ulazni fajl.\n",
                   1,
                   "Ulazni fajl nema.txt: No such file or directory\n",
                   {.stdinOpen = true}},
        // Options for maps alone are refused for a text of numbers, as
        // --crossings is; --layer names no map in it.
        OptionCase{"touches_on_text", {"--no-window", "--touches"}, "", 64, "--touches"},
        OptionCase{"all_pairs_on_text", {"--no-window", "--all-pairs"}, "", 64, "--all-pairs"},
        OptionCase{"crossings_on_text",
                   {"--no-window", "--crossings", "x.gpkg"},
                   "",
                   64,
                   "--crossings pise sloj mape, a test.txt nije mapa"},
        OptionCase{
            "layer_of_text",
            {"--no-window", "--layer", "roads"},
            "",
            1,
            "Greska! Ne mogu da otvorim mapu test.txt: GDAL ne prepoznaje ovaj fajl kao mapu\n"},
        // A map on standard input is not read as one: the message says so.
        OptionCase{"map_on_standard_input",
                   {"--no-window", "-"},
                   "Greska! Neispravan podatak za duz 0 u ulaznom fajlu: {\"type\":\n",
                   2,
                   "Mapa (GeoJSON, GML, KML, ...) se cita samo iz fajla",
                   {.stdinText = "{\"type\": \"FeatureCollection\"}"}},
        OptionCase{"png_with_an_empty_path", {"--png", ""}, "", 64, "--png"},
        OptionCase{
            "png_naming_the_input", {"--png", "./ulaz.txt", "ulaz.txt"}, "", 64, "./ulaz.txt"},
        // The folder is tried before the report, not after it.
        OptionCase{
            "png_in_a_missing_folder", {"--png", "nema/x.png", "ulaz.txt"}, "", 3, "nema/x.png"},
        OptionCase{"png_of_an_empty_input",
                   {"--png", "x.png", "prazan.txt"},
                   noData,
                   0,
                   "PNG slika x.png nije napravljena"},
        OptionCase{"missing_file",
                   {"nema.txt"},
                   "Greska! Ne mogu da otvorim ulazni fajl.\n",
                   1,
                   "",
                   {.stdinText = "ab"}},
        // The toolkit's own options reach the toolkit, which names the display;
        // a line of ours tells what to do without one.
        OptionCase{"toolkit_option", {"-display", ":31998", "ulaz.txt"}, crossing01, 1, ":31998"},
        OptionCase{"no_display",
                   {"ulaz.txt"},
                   crossing01,
                   1,
                   "\nNema ekrana za prozor: --no-window daje samo izvestaj, a --png FAJL crta "
                   "sliku bez ekrana.\n",
                   displaySet},
        // --png draws the picture instead of the window: with no window at
        // all it has nothing to draw.
        OptionCase{"png_without_a_window",
                   {"--png", "x.png", "--no-window", "ulaz.txt"},
                   "",
                   64,
                   "se iskljucuju"},
        // After --, a name that looks like an option is the input file.
        OptionCase{"options_end",
                   {"--no-window", "--", "-m"},
                   "Greska! Ne mogu da otvorim ulazni fajl.\n",
                   1},
        OptionCase{
            "png_joined_with_its_path", {"--png=nema/x.png", "ulaz.txt"}, "", 3, "nema/x.png"},
        // --size: a picture's, refused before the report where it is not
        // one, or larger than the graphics driver draws text, or than memory
        // holds.
        OptionCase{"size_without_png", {"--size", "800x600", "ulaz.txt"}, "", 64, "uz --png"},
        OptionCase{"size_zero", {"--png", "x.png", "--size", "0x600"}, "", 64, "dato je 0x600"},
        OptionCase{"size_without_height", {"--png", "x.png", "--size=800x"}, "", 64, "800x"},
        OptionCase{"size_beyond_the_driver",
                   {"--png", "x.png", "--size", "65535x8", "ulaz.txt"},
                   "",
                   64,
                   "Greska! Slika 65535x8 je veca od najvece koju graficki drajver crta ("},
        OptionCase{"size_beyond_memory",
                   {"--png", "x.png", "--size", "65535x65535", "ulaz.txt"},
                   "",
                   255,
                   "Greska! Za sliku 65535x65535 nema dovoljno memorije.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
