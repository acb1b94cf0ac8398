// A process forked while a run is under way (the Python module: another thread forks while
// one is inside a call) forgets that run in the child: the child runs afresh at once and
// leaves the parent's temporaries alone, so the parent still commits its whole set.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "core/run_points.hpp"
#include "phasemap.hpp"
#include "support/test_support.hpp"

namespace {

std::string child_folder;  // where the child forked at the run point runs

// Forks once every temporary of the run exists; the child runs in child_folder and ends
// with its status, which the parent waits for and ends with when it is not 0.
void fork_a_run() {
    const pid_t child = fork();
    if (child == 0) {
        forget_run_after_fork();
        const std::string folder = child_folder;
        child_folder.clear();  // the child's own run forks no further
        if (chdir(folder.c_str()) != 0) _exit(127);
        _exit(run_phasemap());
    }
    int status = -1;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) _exit(10);
}

void run_in(const std::string& dir) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    _exit(run_phasemap());
}

}  // namespace

void pass_run_point(run_point point) {
    if (point == run_point::map_written && !child_folder.empty()) fork_a_run();
}

TEST(ForkedChild, RunsAfreshAndLeavesTheParentsRunAlone) {
    const folder_state expected = outputs_of("fork_expected", good_input);
    const std::string dir = folder_with("fork_parent", good_input);
    child_folder = folder_with("fork_child", good_input);
    EXPECT_EXIT(run_in(dir), testing::ExitedWithCode(0), "^$");
    EXPECT_EQ(snapshot_folder(dir), expected);
    EXPECT_EQ(snapshot_folder(child_folder), expected);
    child_folder.clear();
}
