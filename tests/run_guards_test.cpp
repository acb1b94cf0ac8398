// A floating-point fault during a whole run ends the process with the same one-line report
// on standard error and as the last record of log.out, after the records before it; a host
// that installed its own SIGFPE handler (a fuzzer, a debugger harness) gets the fault after
// the report. Running out of memory ends a run as cleanly.
#include <gtest/gtest.h>

#include <unistd.h>
#include <csignal>
#include <new>

#include "core/run_points.hpp"
#include "phasemap.hpp"
#include "support/test_support.hpp"

namespace {

volatile float zero = 0.0f;
bool runs_out_of_memory = false;

// A scratch folder holding a one-surface input.
std::string folder(const std::string& name) {
    return folder_with(
        name, "bulk\n1 2\n-16.5 2\nbound\n-2 0 -1.5 0\nsurf 1\nclean 8 16 0 20.5 -140.2\nstop\n");
}

// A whole run in `dir` in this process, with `handler` for SIGFPE.
void run_in(const std::string& dir, void (*handler)(int) = SIG_DFL) {
    std::signal(SIGFPE, handler);  // SIG_DFL also undoes a sanitizer runtime's own handler
    if (chdir(dir.c_str()) != 0) _exit(127);
    _exit(run_phasemap());
}

void host_handler(int) {
    const char text[] = "host handler ran\n";
    (void)!write(2, text, sizeof text - 1);
    _exit(3);
}

const std::string report =
    "phasemap: input.txt (unit 1): floating-point division by zero in the computation of this "
    "input";

}  // namespace

// The run divides by zero once its vertices are found, or finds no memory left.
void pass_run_point(run_point point) {
    if (point != run_point::vertices_found) return;
    if (runs_out_of_memory) throw std::bad_alloc();
    volatile float quotient = 1.0f / zero;
    (void)quotient;
}

TEST(FloatingPointTraps, FaultEndsTheRunWithOneReport) {
    const std::string dir = folder("fp_trap");
    EXPECT_EXIT(run_in(dir), testing::ExitedWithCode(1), testing::Eq(report + "\n"));
    // after the last triple's determinant
    EXPECT_TRUE(read_file(dir + "/log.out").ends_with("    0.000000E+00\r\n" + report + "\r\n"));
    // input.txt and log.out: no phase.out, no map, no temporary
    EXPECT_EQ(snapshot_folder(dir).size(), 2u);
}

TEST(FloatingPointTraps, HostHandlerRunsAfterTheReport) {
    const std::string dir = folder("fp_trap_host");
    EXPECT_EXIT(run_in(dir, host_handler), testing::ExitedWithCode(3),
                testing::Eq(report + "\nhost handler ran\n"));
}

// Running out of memory anywhere ends the run like any fatal error: one line, kept in log.out.
TEST(OutOfMemory, EndsTheRunWithOneLine) {
    const std::string dir = folder("out_of_memory");
    runs_out_of_memory = true;
    EXPECT_EXIT(run_in(dir), testing::ExitedWithCode(1), testing::Eq("phasemap: out of memory\n"));
    runs_out_of_memory = false;
    EXPECT_EQ(last_line(read_file(dir + "/log.out")), "phasemap: out of memory");
    EXPECT_EQ(snapshot_folder(dir).size(), 2u);
}
