// Interruptions of a whole run at chosen points: SIGINT, SIGTERM and SIGHUP remove the run's
// temporaries, leave every earlier output as it was, print one line and end with 128 plus
// the signal; one that arrives while a complete run moves its outputs into place waits until
// they are all there. The signal is raised at a run point, so nothing depends on timing.
#include <gtest/gtest.h>

#include <unistd.h>
#include <csignal>

#include "core/run_points.hpp"
#include "phasemap.hpp"
#include "support/test_support.hpp"

namespace {

run_point interrupt_at = run_point::input_read;
int interrupt_with = 0;
int interrupt_on_pass = 1;  // the signal comes the N-th time the run passes the point

// A folder with the outputs of a first run, a second input and an unrelated file of the name
// of the second run's map.
std::string folder_for_second_run(const std::string& name) {
    const std::string dir = folder_with_earlier_results(name);
    write_file(dir + "/input.txt", good_entries() + "output\nsecond.ps\nstop\n");
    write_file(dir + "/second.ps", "an unrelated file of the same name\n");
    return dir;
}

void run_in(const std::string& dir, run_point point, int signal, int on_pass = 1) {
    interrupt_at = point;
    interrupt_with = signal;
    interrupt_on_pass = on_pass;
    if (chdir(dir.c_str()) != 0) _exit(127);
    _exit(run_phasemap());
}

}  // namespace

void pass_run_point(run_point point) {
    if (interrupt_with != 0 && point == interrupt_at && --interrupt_on_pass == 0)
        raise(interrupt_with);
}

// A signal at any phase, or the moment each temporary (log.out's, phase.out's, the map's)
// has been created, leaves no temporary and no other trace.
TEST(Interruption, LeavesEarlierOutputsAndNoTemporary) {
    const struct {
        run_point point;
        int on_pass;
        int signal;
        std::string name;
    } cases[] = {
        {run_point::file_created, 1, SIGTERM, "SIGTERM"},
        {run_point::file_created, 2, SIGINT, "SIGINT"},
        {run_point::file_created, 3, SIGHUP, "SIGHUP"},
        {run_point::input_read, 1, SIGTERM, "SIGTERM"},
        {run_point::regions_reported, 1, SIGINT, "SIGINT"},
        {run_point::map_written, 1, SIGHUP, "SIGHUP"},
    };
    for (const auto& c : cases) {
        const std::string dir = folder_for_second_run("interrupted_" + std::to_string(c.signal));
        const folder_state before = snapshot_folder(dir);
        EXPECT_EXIT(run_in(dir, c.point, c.signal, c.on_pass),
                    testing::ExitedWithCode(128 + c.signal),
                    "^phasemap: interrupted by " + c.name + "; earlier outputs are unchanged\n$");
        EXPECT_EQ(snapshot_folder(dir), before) << c.name << " at pass " << c.on_pass;
    }
}

// Held back while the outputs move into place (after the first, second or third move),
// SIGTERM then ends the process the way it would have without the run's guards: killed,
// with all three new outputs in place and nothing else left.
TEST(Interruption, WaitsWhileOutputsMoveIntoPlace) {
    for (int on_pass = 1; on_pass <= 3; ++on_pass) {
        const std::string dir = folder_for_second_run("interrupted_while_moving");
        EXPECT_EXIT(run_in(dir, run_point::file_moved, SIGTERM, on_pass),
                    testing::KilledBySignal(SIGTERM), "^$");
        const folder_state after = snapshot_folder(dir);
        // input.txt, log.out, phase.out, map1.ps of the first run, second.ps
        EXPECT_EQ(after.size(), 5u);
        EXPECT_TRUE(after.at("second.ps").starts_with(" %!PS-Adobe-2.0 EPSF-2.0\r\n"));
        EXPECT_EQ(after.at("log.out").find("phasemap:"), std::string::npos);
    }
}
