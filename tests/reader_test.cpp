// The input reader: keywords, counts, the energy planes, the echo in log.out, and every
// input it refuses (message, exit status, nothing already written lost).
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "driver.hpp"
#include "modules.hpp"
#include "ouvrir.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

const std::string example_input =
    "bulk\n1 2\n-16.5 2\nbound\n-2.0 0.0 -1.5 0.0\nsurf 2\nclean 8 16 0 20.5 -140.2\n"
    "'with H' 8 16 2 20.5 -147.9\nstop\n";

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// The records of log.out up to and including "Start", each with its CR LF.
std::string log_up_to_start(const std::string& log) {
    std::size_t start = log.find(" Start\r\n");
    return start == std::string::npos ? log : log.substr(0, start + 8);
}

std::string records(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// Runs read_input in-process in a scratch folder, leaving the run state for inspection.
void read_in_process(const std::string& name, const std::string& input) {
    std::string dir = make_scratch_dir(name);
    write_file(dir + "/input.txt", input);
    std::string here = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.c_str()), 0);
    reset_run_state();
    try {
        read_input();
    } catch (const run_stopped& stop) {
        ADD_FAILURE() << stop.message;
    }
    close_all_units();
    ASSERT_EQ(chdir(here.c_str()), 0);
}

// The echo of the worked example: bulk energy already divided, names padded to 40 columns,
// integers in 11 columns, reals in 15, each value its own record.
TEST(ReaderEcho, WorkedExample) {
    std::string dir;
    run_result result = run_program_on("reader_example", example_input, &dir);
    ASSERT_EQ(result.status, 0) << result.stderr_text;
    EXPECT_EQ(log_up_to_start(read_file(dir + "/log.out")),
              records({" Bulk energy, per unit cell      -8.250000", " n_surfaces          2",
                       " clean" + blanks(35), blanks(11) + "8", blanks(10) + "16", blanks(11) + "0",
                       blanks(7) + "20.500000", blanks(5) + "-140.200000", " with H" + blanks(34),
                       blanks(11) + "8", blanks(10) + "16", blanks(11) + "2", blanks(7) + "20.500000",
                       blanks(5) + "-147.900000", " n_text          0", " n_equi          0",
                       " n_equi2          0", " Start"}));
    EXPECT_TRUE(file_exists(dir + "/map1.ps"));
    EXPECT_TRUE(file_exists(dir + "/phase.out"));
}

// Labels, equilibrium lines and x guide values are echoed; y guide values, the window,
// titles, scales, shifts and the map name are not.
TEST(ReaderEcho, TablesAndGuideValues) {
    std::string dir;
    run_result result = run_program_on(
        "reader_tables",
        "bound\n-3 0 -3 0\ntext 1\n-1.5 -2 12 'x^{2}'\nequi 1\n1 -1 0.5\nequ2 1\n2 0 -3 -2 -1 -1.5 -0.5\n"
        "xbound    2\n-1.0\n-2.5\nybound 1\n-1\nxaxi\n'Delta H'\noutput\nother.ps\nstop\n",
        &dir);
    ASSERT_EQ(result.status, 0) << result.stderr_text;
    EXPECT_EQ(log_up_to_start(read_file(dir + "/log.out")),
              records({" n_surfaces          0", " n_text          1", blanks(7) + "-1.500000",
                       blanks(7) + "-2.000000", blanks(7) + "12.000000", " x^{2}" + blanks(35),
                       " n_equi          1", blanks(11) + "1", blanks(10) + "-1", blanks(4) + "5.000000E-01",
                       " n_equi2          1", blanks(11) + "2", blanks(11) + "0", blanks(7) + "-3.000000",
                       blanks(7) + "-2.000000", blanks(7) + "-1.000000", blanks(7) + "-1.500000",
                       blanks(3) + "-5.000000E-01", blanks(7) + "-1.000000*********************",
                       blanks(7) + "-2.500000*********************", " Start"}));
    EXPECT_TRUE(file_exists(dir + "/other.ps"));
    EXPECT_FALSE(file_exists(dir + "/map1.ps"));
}

// Keywords match on their leading characters, case-sensitively, from the first column;
// anything else is a comment. Counts may stand on the next record.
TEST(ReaderKeywords, MatchingAndComments) {
    read_in_process("reader_keywords",
                    "This file models nothing\n bulk indented: a comment\nBULK in capitals: a comment\n"
                    "bulky\n1 2\n-16.5 2\nboundaries\n-2 0 -1.5 0\nsurface  2\nclean 8 16 0 20.5 -140.2\n"
                    "'with H' 8 16 2 20.5 -147.9\nequilibrium\n1\n1 -1 0.5\nequ2 1\n1 -1 0 -2 -1 -1.5 -1.2\n"
                    "stopper\nsurf 3\n");
    EXPECT_EQ(run.bulk_count_1, 1);
    EXPECT_FLOAT_EQ(run.bulk_energy, -8.25f);
    EXPECT_EQ(run.x_min, -2.0f);
    EXPECT_EQ(run.y_min, -1.5f);
    EXPECT_EQ(run.surface_count, 2);
    EXPECT_EQ(std::string(run.surfaces[1].name.data(), 6), "with H");
    EXPECT_EQ(run.equi_count, 1);
    EXPECT_EQ(run.equi_lines[0].coef_y, -1);
    EXPECT_EQ(run.equ2_count, 1);
    EXPECT_EQ(run.equ2_lines[0].y_high, -1.2f);
}

// "xbound" and "ybound" take their count from columns 7-26 only: a count beyond column 26
// reads as 0 and its values are then skipped as comments.
TEST(ReaderKeywords, GuideCountsInFixedColumns) {
    read_in_process("reader_columns",
                    "bound\n-3 0 -3 0\nxbound   0 3\n-1\n-2\n-0.5\n"
                    "ybound                       3\n-1\n-2\n-2.5\nstop\n");
    EXPECT_EQ(run.xbound_count, 3);  // blanks inside the field are ignored: "0 3" reads 3
    EXPECT_EQ(run.xbound_values[2], -0.5f);
    EXPECT_EQ(run.ybound_count, 0);
}

// Plane coefficients at the moment each surface is read, and the four window edges after
// the surfaces.
TEST(ReaderPlanes, CoefficientsAndWindowEdges) {
    read_in_process("reader_planes", example_input);
    const double r = 8.0;
    const double scale = static_cast<double>(8.01f);
    EXPECT_EQ(run.plane_d[0], static_cast<float>(((-140.2f - (-8.25) * r) / 20.5) * scale));
    EXPECT_EQ(run.plane_a[0], static_cast<float>(((16.0 - r * 2.0) / 20.5) * -scale));
    EXPECT_EQ(run.plane_b[1], static_cast<float>((2.0 / 20.5) * -scale));
    EXPECT_EQ(run.plane_c[1], -1.0f);
    const float edges[4][4] = {{1, 0, 0, 2.0f}, {1, 0, 0, -0.0f}, {0, 1, 0, 1.5f}, {0, 1, 0, -0.0f}};
    for (int e = 0; e < 4; ++e) {
        EXPECT_EQ(run.plane_a[2 + e], edges[e][0]) << e;
        EXPECT_EQ(run.plane_b[2 + e], edges[e][1]) << e;
        EXPECT_EQ(run.plane_c[2 + e], edges[e][2]) << e;
        EXPECT_EQ(run.plane_d[2 + e], edges[e][3]) << e;
    }
    EXPECT_EQ(run.temp1_1, -1.0f);
    EXPECT_EQ(std::string(run.x_axis_title.data(), 2), "H ");
    EXPECT_EQ(std::string(run.map_file_name.data(), 8), "map1.ps ");
}

// A later entry replaces an earlier one; a repeated counted entry rewrites its table.
TEST(ReaderKeywords, RepeatedEntries) {
    read_in_process("reader_repeated",
                    "bound\n-9 9 -9 9\nbound\n-3 0 -2 0\ntext 2\n1 1 10 a\n2 2 10 b\ntext 1\n3 3 10 c\n"
                    "temp1\n300 0 0 1 1\nstop\n");
    EXPECT_EQ(run.x_min, -3.0f);
    EXPECT_EQ(run.label_count, 1);
    EXPECT_EQ(run.labels[0].text[0], 'c');
    EXPECT_EQ(run.labels[1].text[0], 'b');
    EXPECT_EQ(run.temp1_1, 300.0f);
}

const std::string bulk = "bulk\n1 2\n-16.5 2\n";
const std::string window = "bound\n-2 0 -1.5 0\n";

struct refused_input {
    const char* name;
    std::string input;
    const char* message;  // the whole stderr line
};

void PrintTo(const refused_input& refused, std::ostream* out) { *out << refused.name; }

class ReaderRefuses : public testing::TestWithParam<refused_input> {};

// Every refused input ends with one line on stderr, the same line last in log.out, exit
// status 1, no map file, and every record written before kept.
TEST_P(ReaderRefuses, WithOneClearMessage) {
    const refused_input& refused = GetParam();
    std::string dir;
    run_result result = run_program_on(std::string("refused_") + refused.name, refused.input, &dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.stderr_text, std::string(refused.message) + "\n");
    std::string log = read_file(dir + "/log.out");
    int lines = count_lines(log);
    EXPECT_EQ(line_of(log, lines), refused.message);
    if (refused.input.rfind(bulk, 0) == 0) {
        EXPECT_EQ(line_of(log, 1), " Bulk energy, per unit cell      -8.250000");
    }
    EXPECT_FALSE(file_exists(dir + "/map1.ps"));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ReaderRefuses,
    testing::Values(
        refused_input{"stop_in_capitals", bulk + "STOP\n",
                      "phasemap: input.txt (unit 1), line 5: end of file while reading a keyword record (the "
                      "input must end with stop)"},
        refused_input{"unquoted_two_word_name", bulk + "surf 1\nwith H 8 16 2 20.5 -147.9\n",
                      "phasemap: input.txt (unit 1), line 5: expected an integer for count_1 of surface 1, found "
                      "'H'"},
        refused_input{"too_many_surfaces", bulk + "surf 17\n",
                      "phasemap: input.txt (unit 1), line 4: the surf entry declares 17 surfaces; at most 16 can "
                      "be held"},
        refused_input{"negative_surfaces", bulk + "surf\n-1\n",
                      "phasemap: input.txt (unit 1), line 4: the surf entry declares -1 surfaces; the number "
                      "cannot be negative"},
        refused_input{"too_many_labels", bulk + "text 21\n",
                      "phasemap: input.txt (unit 1), line 4: the text entry declares 21 labels; at most 20 can "
                      "be held"},
        refused_input{"too_many_xbound", bulk + "xbound21\n",
                      "phasemap: input.txt (unit 1), line 4: the xbound entry declares 21 values; at most 20 "
                      "can be held"},
        refused_input{"too_many_equ2", bulk + "equ2 99\n",
                      "phasemap: input.txt (unit 1), line 4: the equ2 entry declares 99 lines; at most 20 can "
                      "be held"},
        refused_input{"zero_divisor", "bulk\n1 2\n-16.5 0\n",
                      "phasemap: input.txt (unit 1), line 3: bulk_divisor is 0, so the bulk energy per unit "
                      "cell is undefined"},
        refused_input{"surface_before_bulk", "surf 1\nclean 8 16 0 20.5 -140.2\n",
                      "phasemap: input.txt (unit 1), line 2: surface 1 'clean' is read while bulk_count_1 is 0; "
                      "a bulk entry with a non-zero first count must come before the surfaces"},
        refused_input{"zero_area", bulk + "surf 1\nclean 8 16 0 0 -140.2\n",
                      "phasemap: input.txt (unit 1), line 5: surface 1 'clean' has area 0"},
        refused_input{"coefficient_overflow", bulk + "surf 1\nhuge 8 16 0 1e-30 -3e38\n",
                      "phasemap: input.txt (unit 1), line 5: the plane coefficient plane_d of surface 1 'huge' "
                      "overflows single precision"},
        refused_input{"blank_map_name", bulk + window + "output\n''\nstop\n",
                      "phasemap: input.txt (unit 1), line 7: the map file name is blank"},
        refused_input{"map_name_is_log", bulk + window + "output\nlog.out\nstop\n",
                      "phasemap: input.txt (unit 1), line 7: the map file name 'log.out' is the name of one of "
                      "the run's own files"},
        refused_input{"no_window", bulk + "stop\n",
                      "phasemap: input.txt (unit 1), line 4: the input has no bound entry, so the window is "
                      "empty"},
        refused_input{"inverted_window", bulk + "bound\n0 -2 -1.5 0\nstop\n",
                      "phasemap: input.txt (unit 1), line 5: the window is empty: x_max (-2.000000) is not "
                      "greater than x_min (0.000000E+00)"},
        refused_input{"too_many_major_ticks", bulk + "bound\n-2000 0 -1.5 0\nstop\n",
                      "phasemap: input.txt (unit 1), line 5: the x axis would carry 2001 major ticks; at most "
                      "1000 can be drawn"},
        refused_input{"shift_beyond_integers", bulk + window + "shifty\n1e12\nstop\n",
                      "phasemap: input.txt (unit 1), line 7: the tick numbers of the y axis do not fit a 32-bit "
                      "integer (window or shift too large)"},
        refused_input{"too_many_scale_ticks", bulk + window + "temp1\n300 0 0 0.01 1\nstop\n",
                      "phasemap: input.txt (unit 1), line 7: the horizontal pressure scale of temp1 would carry "
                      "3360 ticks; at most 1000 can be drawn"},
        refused_input{"huge_temperature", bulk + window + "temp1\n1e10 0 0 1 1\nstop\n",
                      "phasemap: input.txt (unit 1), line 7: the temperature of temp1 is too large to be "
                      "written"},
        refused_input{"huge_exponents", bulk + window + "temp1\n300 0 0 1 1\ntemp2\n300 -1e11 0 1e12 1\nstop\n",
                      "phasemap: input.txt (unit 1), line 9: the horizontal pressure scale of temp2 has tick "
                      "exponents beyond a 32-bit integer"},
        refused_input{"vanishing_spacing", bulk + window + "temp1\n300 0 0 1e-44 1\nstop\n",
                      "phasemap: input.txt (unit 1), line 7: the horizontal pressure scale of temp1 has a tick "
                      "spacing that is 0 or too large in single precision"},
        refused_input{"uncreatable_map", bulk + window + "output\n'nodir/map.ps'\nstop\n",
                      "phasemap: nodir/map.ps (unit 3): cannot create the file: No such file or "
                      "directory"}),
    [](const testing::TestParamInfo<refused_input>& param_info) { return std::string(param_info.param.name); });

// A missing input.txt stops the run before any file is created or truncated.
TEST(ReaderRefusesMissingInput, LeavesEarlierOutputsAlone) {
    std::string dir = make_scratch_dir("reader_missing_input");
    write_file(dir + "/log.out", "old log\r\n");
    write_file(dir + "/phase.out", "old phase\r\n");
    run_result result = run_program_in(dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.stderr_text,
              "phasemap: input.txt (unit 1): cannot open the file: No such file or directory\n");
    EXPECT_EQ(read_file(dir + "/log.out"), "old log\r\n");
    EXPECT_EQ(read_file(dir + "/phase.out"), "old phase\r\n");
    EXPECT_FALSE(file_exists(dir + "/map1.ps"));
}

// Negative counts other than the surfaces' read nothing and are echoed as read; a scale
// axis with step 0 is accepted (it is drawn without ticks).
TEST(ReaderCounts, NegativeCountsAndZeroSteps) {
    std::string dir;
    run_result result = run_program_on("reader_negative",
                                       window + "text -2\nequi -1\nxbound    -3\ntemp1\n300 0 0 0 1\nstop\n", &dir);
    ASSERT_EQ(result.status, 0) << result.stderr_text;
    EXPECT_EQ(log_up_to_start(read_file(dir + "/log.out")),
              records({" n_surfaces          0", " n_text         -2", " n_equi         -1", " n_equi2          0",
                       " Start"}));
}

}  // namespace
