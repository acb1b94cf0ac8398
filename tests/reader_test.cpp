// The energy planes as the input reader leaves them in the run state. The echo, repeated
// entries and every refused input are whole-run cases under tests/golden (reader-*, refuse-*).
#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <filesystem>

#include "modules.hpp"
#include "ouvrir.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

// Plane coefficients at the moment each surface is read. With the bulk energy -8.25 per unit and r
// = 8 / 1: d of "clean" is
// ((-140.2 + 66) / 20.5) * 8.01 = -28.99229, of "with H" ((-147.9 + 66) / 20.5) * 8.01 =
// -32.00093; a is (16 - 8 * 2) / 20.5 * -8.01 = -0; b of "with H" is 2 / 20.5 * -8.01 =
// -0.7814634. The last digits are those of single precision.
TEST(ReaderPlanes, CoefficientsAndWindowEdges) {
    const std::string dir = test_scratch_dir(), here = std::filesystem::current_path().string();
    write_file(dir + "/input.txt",
               "bulk\n1 2\n-16.5 2\nbound\n-2.0 0.0 -1.5 0.0\nsurf 2\nclean 8 16 0 20.5 -140.2\n"
               "'with H' 8 16 2 20.5 -147.9\nstop\n");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    reset_run_state();
    EXPECT_EQ(stop_message(read_input), "");
    close_all_units();
    ASSERT_EQ(chdir(here.c_str()), 0);

    EXPECT_EQ(run.plane_d[0], -28.9922924f);
    EXPECT_EQ(run.plane_d[1], -32.000927f);
    EXPECT_EQ(run.plane_a[0], 0.0f);
    EXPECT_TRUE(std::signbit(run.plane_a[0]));
    EXPECT_EQ(run.plane_b[0], -0.0f);
    EXPECT_EQ(run.plane_b[1], -0.781463444f);
    EXPECT_EQ(run.plane_c[1], -1.0f);
}

}  // namespace
