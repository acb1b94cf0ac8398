// The input reader, seen from the run state: keywords, counts, the energy planes and
// repeated entries. The echo and every refused input are whole-run cases
// under tests/golden (reader-*, refuse-*).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

#include "modules.hpp"
#include "ouvrir.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

const std::string example_input =
    "bulk\n1 2\n-16.5 2\nbound\n-2.0 0.0 -1.5 0.0\nsurf 2\nclean 8 16 0 20.5 -140.2\n"
    "'with H' 8 16 2 20.5 -147.9\nstop\n";

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
// the surfaces. With the bulk energy -8.25 per unit and r = 8 / 1: d of "clean" is
// ((-140.2 + 66) / 20.5) * 8.01 = -28.99229, of "with H" ((-147.9 + 66) / 20.5) * 8.01 =
// -32.00093; a is (16 - 8 * 2) / 20.5 * -8.01 = -0; b of "with H" is 2 / 20.5 * -8.01 =
// -0.7814634. The last digits are those of single precision.
TEST(ReaderPlanes, CoefficientsAndWindowEdges) {
    read_in_process("reader_planes", example_input);
    EXPECT_EQ(run.plane_d[0], -28.9922924f);
    EXPECT_EQ(run.plane_d[1], -32.000927f);
    EXPECT_EQ(run.plane_a[0], 0.0f);
    EXPECT_TRUE(std::signbit(run.plane_a[0]));
    EXPECT_EQ(run.plane_b[0], -0.0f);
    EXPECT_EQ(run.plane_b[1], -0.781463444f);
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

}  // namespace
