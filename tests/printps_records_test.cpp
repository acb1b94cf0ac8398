// Map records the golden maps do not reach: region greys after a surface without a region,
// and major ticks up to the largest index. (Labels at the edges of the markup are the golden
// case map-label-markup-edges.)
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "modules.hpp"
#include "printps/internals.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

// Runs `draw` with the map and log units open on files of the test's scratch folder and
// gives what it wrote to the map and to the log.
std::pair<std::string, std::string> capture(const std::function<void()>& draw) {
    const std::string dir = test_scratch_dir();
    open_output_unit(unit_log, (dir + "/log.out").c_str());
    open_output_unit(unit_map, (dir + "/map1.ps").c_str());
    set_up_page_geometry();
    draw();
    commit_output_units({unit_map, unit_log});
    close_all_units();
    return {read_file(dir + "/map1.ps"), read_file(dir + "/log.out")};
}

}  // namespace

// Greys follow the surface number, not the count of regions drawn; a region of fewer than
// three corners writes nothing, and the log writes every grey in two columns.
TEST(WriteMap, RegionFillsUseTheSurfaceGrey) {
    reset_run_state();
    run.x_max = run.y_max = 1.0f;
    std::tie(run.surface_count, run.vertex_count) = std::pair(11, 3);
    run.vertices[1] = {0.0f, 1.0f, 0.0f};
    run.vertices[2] = {1.0f, 0.0f, 0.0f};
    run.regions[1] = {2, {1, 2}};
    run.regions[3] = {3, {2, 3, 1}};
    run.regions[9] = {3, {1, 2, 3}};
    run.regions[10] = {3, {3, 2, 1}};
    const auto [map_bytes, log_bytes] = capture(fill_regions);
    EXPECT_EQ(line_of(map_bytes, 2), "gr3");
    EXPECT_EQ(line_of(map_bytes, 9), "gr9");
    EXPECT_EQ(line_of(map_bytes, 16), "gr10");
    EXPECT_EQ(count_lines(map_bytes), 21);
    const std::string b(10, ' ');
    EXPECT_EQ(log_bytes, " \r\n" + b + " 4\r\n newpath\r\ngr 3\r\n \r\n" + b +
                             "10\r\n newpath\r\ngr 9\r\n \r\n" + b + "11\r\n newpath\r\ngr10\r\n");
}

// The last major tick index of the x axis is the largest 32-bit integer: the ticks stop
// there, all 128 numbered, instead of counting past it.
TEST(WriteMap, MajorTicksUpToTheLargestIndex) {
    reset_run_state();
    std::tie(run.x_min, run.x_max, run.y_max, run.shift_x) =
        std::tuple(2147483520.0f, 2147483648.0f, 1.0f, 0.5f);
    const std::string map_bytes = capture(draw_frame_and_axes).first;
    std::size_t numbers = 0;
    for (std::size_t at = map_bytes.find(") SN"); at != std::string::npos;
         at = map_bytes.find(") SN", at + 1))
        ++numbers;
    EXPECT_EQ(numbers, 128u + 2u);  // x numbers 2147483520 to 2147483647, y numbers 0 and 1
    EXPECT_NE(map_bytes.find("(2147483647) SN"), std::string::npos);
}
