// Interruptions of a whole run at chosen points: SIGINT, SIGTERM and SIGHUP remove the run's
// temporaries, leave every earlier output as it was, print one line and end with 128 plus
// the signal; one that arrives while a complete run moves its outputs into place waits until
// they are all there. The signal is raised at a run point, so nothing depends on timing.
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include "driver.hpp"
#include "support/test_support.hpp"

namespace {

run_point interrupt_at = run_point::input_read;
int interrupt_with = 0;

const std::string first_input =
    "bulk\n1 2\n-16.5 2\nbound\n-2.0 0.0 -1.5 0.0\nsurf 2\nclean 8 16 0 20.5 -140.2\n"
    "'with H' 8 17 1 20.5 -141.4\nstop\n";

// A folder with the outputs of a first run and a second input, and the run of that input
// with the signal raised at the point.
std::string folder_for_second_run(const std::string& name) {
    std::string dir;
    EXPECT_EQ(run_program_on(name, first_input, &dir).status, 0);
    write_file(dir + "/input.txt", first_input.substr(0, first_input.find("stop")) + "output\nsecond.ps\nstop\n");
    write_file(dir + "/second.ps", "an unrelated file of the same name\n");
    return dir;
}

void run_in(const std::string& dir, run_point point, int signal) {
    interrupt_at = point;
    interrupt_with = signal;
    if (chdir(dir.c_str()) != 0) _exit(127);
    _exit(run_phasemap());
}

}  // namespace

void pass_run_point(run_point point) {
    if (interrupt_with != 0 && point == interrupt_at) raise(interrupt_with);
}

TEST(Interruption, LeavesEarlierOutputsAndNoTemporary) {
    const struct {
        run_point point;
        int signal;
        const char* line;
    } cases[] = {
        {run_point::input_read, SIGTERM, "phasemap: interrupted by SIGTERM; earlier outputs are unchanged\n"},
        {run_point::regions_reported, SIGINT, "phasemap: interrupted by SIGINT; earlier outputs are unchanged\n"},
        {run_point::map_written, SIGHUP, "phasemap: interrupted by SIGHUP; earlier outputs are unchanged\n"},
    };
    for (const auto& c : cases) {
        const std::string dir = folder_for_second_run("interrupted_" + std::to_string(c.signal));
        const folder_state before = snapshot_folder(dir);
        EXPECT_EXIT(run_in(dir, c.point, c.signal), testing::ExitedWithCode(128 + c.signal), std::string("^") + c.line + "$");
        EXPECT_EQ(snapshot_folder(dir), before) << c.line;
    }
}

// Held back while the outputs move into place, SIGTERM then ends the process the way it
// would have without the run's guards: killed, with all three new outputs in place.
TEST(Interruption, WaitsWhileOutputsMoveIntoPlace) {
    const std::string dir = folder_for_second_run("interrupted_while_moving");
    EXPECT_EXIT(run_in(dir, run_point::outputs_moving, SIGTERM), testing::KilledBySignal(SIGTERM), "^$");
    const folder_state after = snapshot_folder(dir);
    EXPECT_EQ(after.size(), 5u);  // input.txt, log.out, phase.out, map1.ps of the first run, second.ps
    EXPECT_TRUE(after.at("second.ps").starts_with(" %!PS-Adobe-2.0 EPSF-2.0\r\n"));
    EXPECT_EQ(after.at("log.out").find("phasemap:"), std::string::npos);
}
