// Runs inside a host (the Python module) change nothing that another thread of the host could
// see: no signal's handling, no trap, and the thread's own floating-point flags and traps are
// put back after the run. A floating-point fault is not trapped but found by its flag at the
// end of the phase: the run stops with the report a trapped fault gives, log.out ends with it
// as after any error and every other earlier output stays (that a computation without files
// stops alike, python/tests/test_signals_and_forks.py shows through the module). The faults are
// raised at run points, so nothing depends on timing.
#include <gtest/gtest.h>

#include <fenv.h>
#include <cfloat>
#include <csignal>
#include <tuple>
#include <vector>

#include "core/numbers.hpp"
#include "core/run_guards.hpp"
#include "core/run_points.hpp"
#include "phasemap.hpp"
#include "records/fatal.hpp"
#include "support/test_support.hpp"

namespace {

volatile float zero = 0.0f, largest = FLT_MAX;

// Raises the flag of `fault` (FE_DIVBYZERO, FE_OVERFLOW or FE_INVALID) as a computation would.
void raise_fault(int fault) {
    volatile float result = fault == FE_DIVBYZERO  ? 1.0f / zero
                            : fault == FE_OVERFLOW ? largest * 2.0f
                                                   : zero / zero;
    (void)result;
}

constexpr int watched_signals[] = {SIGFPE, SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

// The handling of every signal a run could touch, and the traps on, as this thread sees them.
using process_view = std::tuple<std::vector<void*>, int>;

process_view view_of_process() {
    std::vector<void*> handlers;
    for (int signal : watched_signals) {
        struct sigaction action {};
        sigaction(signal, nullptr, &action);
        handlers.push_back(reinterpret_cast<void*>(action.sa_handler));
    }
    return {handlers, fegetexcept()};
}

run_point fault_at = run_point::input_read;
int fault = 0;  // the fault raised at fault_at; 0 for none
process_view seen_in_run;

std::string report(const std::string& fault_name) {
    return "phasemap: input.txt (unit 1): floating-point " + fault_name +
           " in the computation of this input";
}

// Runs in the test's process as the module runs them, until the test ends.
class HostedRun : public testing::Test {
protected:
    void SetUp() override { run_inside_host(true); }
    void TearDown() override {
        run_inside_host(false);
        fault = 0;
        feclearexcept(FE_ALL_EXCEPT);
    }
};

}  // namespace

void pass_run_point(run_point point) {
    if (point != fault_at) return;
    seen_in_run = view_of_process();
    if (fault != 0) raise_fault(fault);
}

// A fault at the end of any phase, of any kind, stops the run with the trapped program's
// report, named after the flag; log.out ends with it and the other earlier files stay; no
// handler and no trap is set meanwhile, and the thread's flags are put back.
TEST_F(HostedRun, FaultStopsTheRunWithTheTrappedReport) {
    const struct {
        run_point point;
        int fault;
        std::string name;
    } cases[] = {
        {run_point::input_read, FE_DIVBYZERO, "division by zero"},
        {run_point::vertices_found, FE_OVERFLOW, "overflow"},
        {run_point::regions_reported, FE_INVALID, "invalid operation"},
        {run_point::map_written, FE_DIVBYZERO, "division by zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " at point " + std::to_string(static_cast<int>(c.point)));
        const std::string dir = folder_with_earlier_results("hosted_fault");
        write_file(dir + "/input.txt", second_input());
        const folder_state before = snapshot_folder(dir);
        fault_at = c.point;
        fault = c.fault;
        const process_view outside = view_of_process();
        feclearexcept(FE_ALL_EXCEPT);
        const run_result result = run_in_process(dir, true, true);
        const int flags_after_run = fetestexcept(FE_ALL_EXCEPT);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.stderr_text, report(c.name) + "\n");
        EXPECT_TRUE(last_run_stop().is_fault);
        EXPECT_EQ(last_line(read_file(dir + "/log.out")), report(c.name));
        expect_unchanged_but(before, snapshot_folder(dir), {"log.out"});
        EXPECT_EQ(seen_in_run, outside);
        EXPECT_EQ(view_of_process(), outside);
        EXPECT_EQ(flags_after_run, 0);
    }
}

// The caller's flags and traps are its own: a flag it raised before is no fault of the run
// and is still raised after it; a trap it set is off while the run computes (a fault then
// stops the run, not the process) and on again after it.
TEST_F(HostedRun, CallersFlagsAndTrapsAreKept) {
    const std::string dir = folder_with("hosted_flags", good_input);
    fault_at = run_point::vertices_found;
    feclearexcept(FE_ALL_EXCEPT);
    feraiseexcept(FE_OVERFLOW);
    EXPECT_EQ(run_in_process(dir).status, 0);
    EXPECT_EQ(fetestexcept(FE_ALL_EXCEPT), FE_OVERFLOW);
    feclearexcept(FE_ALL_EXCEPT);
    fault = FE_DIVBYZERO;
    feenableexcept(FE_DIVBYZERO);
    const run_result result = run_in_process(dir);
    const int traps_after = fedisableexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(std::get<1>(seen_in_run), 0);
    EXPECT_EQ(traps_after, FE_DIVBYZERO);
}

// A probe that overflows on purpose forgets what it raised, but not a fault raised before it.
TEST_F(HostedRun, ProbeKeepsAnEarlierFault) {
    begin_fp_traps();
    {
        const fp_trap_pause probe;
        raise_fault(FE_OVERFLOW);
    }
    const bool probe_stops = stop_message([] { stop_on_floating_point_fault(); }) != "";
    raise_fault(FE_DIVBYZERO);
    {
        const fp_trap_pause probe;
        raise_fault(FE_OVERFLOW);
    }
    const std::string stopped = stop_message([] { stop_on_floating_point_fault(); });
    end_fp_traps();
    EXPECT_FALSE(probe_stops);
    EXPECT_TRUE(
        stopped.ends_with(": floating-point division by zero in the computation of this input"))
        << stopped;
}
