// A floating-point fault during a run ends the process with status 1 and the same one-line
// report on standard error and as the last record of log.out, after the records before it.
#include <gtest/gtest.h>

#include "modules.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

volatile float zero = 0.0f;

void divide_by_zero_during_a_run(const std::string& log_path) {
    reset_run_state();
    open_output_unit(unit_log, log_path.c_str());
    write_list(unit_log, {item_text("Start")});
    begin_fp_traps();
    volatile float quotient = 1.0f / zero;
    (void)quotient;
}

TEST(FloatingPointTraps, FaultEndsTheRunWithOneReport) {
    const std::string log_path = make_scratch_dir("fp_trap") + "/log.out";
    const char* report = "phasemap: input.txt (unit 1): floating-point division by zero in the computation of this input";
    EXPECT_EXIT(divide_by_zero_during_a_run(log_path), testing::ExitedWithCode(1),
                "^phasemap: input.txt \\(unit 1\\): floating-point division by zero in the computation of this input\n$");
    EXPECT_EQ(read_file(log_path), std::string(" Start\r\n") + report + "\r\n");
}

}  // namespace
