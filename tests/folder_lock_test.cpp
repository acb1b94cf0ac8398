// The run's folder and its lock. A run resolves a map's folders beneath the folder it is given
// (that it works there whatever the process's working folder, the module's tests show:
// python/tests/test_inputs.py and test_threads.py). Runs in one folder take turns, also in a
// folder they may write to but not list (a drop box); a run that waits says so after a second,
// stops at Ctrl-C, and gives up when its host asks; where no lock can be had it says so. Runs
// inside this program stop at run points, so nothing depends on timing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <filesystem>

#include "core/run_points.hpp"
#include "phasemap.hpp"
#include "records/folders.hpp"
#include "records/records.hpp"
#include "support/file_system_faults.hpp"
#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

// Pipes of a run in a child of this program: a byte is written to `input_read` once the run
// has read its input (it then waits for a byte on `go_on`), and to `lock_busy` when it finds
// the folder locked.
int input_read = -1, go_on = -1, lock_busy = -1;

constexpr int nobody = 65534;

}  // namespace

void pass_run_point(run_point point) {
    char byte = 'x';
    if (point == run_point::input_read && input_read >= 0) {
        if (write(input_read, &byte, 1) != 1 || read(go_on, &byte, 1) != 1) _exit(125);
    }
    if (point == run_point::lock_busy && lock_busy >= 0 && write(lock_busy, &byte, 1) != 1)
        _exit(125);
}

namespace {

// A child that runs in `dir` as `user` (-1: as this program) with the run points' pipes set.
pid_t start_run_as(int user, const std::string& dir, int read_pipe, int go_pipe, int busy_pipe) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (user >= 0) {
        const auto id = static_cast<unsigned>(user);
        if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) _exit(126);
    }
    input_read = read_pipe;
    go_on = go_pipe;
    lock_busy = busy_pipe;
    alarm(20);
    const int folder = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    _exit(run_phasemap_in(folder));
}

int exit_status(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits until the file holds `text` (the program writes it when it has waited a second).
bool wait_for_text(const std::string& path, const std::string& text) {
    for (int tries = 0; tries < 6000; ++tries) {
        if (read_file(path).find(text) != std::string::npos) return true;
        usleep(5000);
    }
    return false;
}

const std::string waiting = "phasemap: waiting for another phasemap run in this folder to finish\n";

// A map's folder is opened beneath the run's folder, through links that stay inside it,
// alike where the kernel resolves beneath a folder and where the folder is walked up instead.
TEST(RunFolder, MapFoldersOpenBeneathItWithOrWithoutTheKernelsHelp) {
    const std::string base = make_scratch_dir("beneath");
    fs::create_directories(base + "/maps/deep");
    fs::create_directory(make_scratch_dir("beneath_elsewhere"));
    fs::create_symlink("maps/deep", base + "/inside");
    fs::create_symlink("../beneath_elsewhere", base + "/outside");
    fs::create_symlink("../..", base + "/maps/up");
    write_file(base + "/file", "");
    const std::pair<std::string, int> cases[] = {
        {"maps", 0},        {"maps/deep", 0},    {"inside", 0},     {"outside", EXDEV},
        {"maps/up", EXDEV}, {"missing", ENOENT}, {"file", ENOTDIR},
    };
    const int folder = open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    set_run_folder(folder);
    for (const auto& [name, error] : cases) {
        for (const bool walks : {false, true}) {
            SCOPED_TRACE(name + (walks ? " walked up" : " resolved by the kernel"));
            errno = 0;
            const int opened = walks ? open_folder_beneath_by_walking(folder, name.c_str())
                                     : open_folder_beneath(name);
            EXPECT_EQ(opened >= 0 ? 0 : errno, error);
            if (opened >= 0) close(opened);
        }
    }
    set_run_folder(AT_FDCWD);
    close(folder);
}

// Two runs in a folder they may write to but not list: the second waits until the first has
// committed its set. As root, the runs act as nobody (root may list any folder), one of them
// as root too, which can lock the folder itself.
TEST(Lock, RunsTakeTurnsInAFolderTheyCannotList) {
    const bool is_root = geteuid() == 0;
    const std::pair<int, int> runners[] = {{nobody, nobody}, {0, nobody}, {nobody, 0}};
    const folder_state expected = outputs_of("lock_reference", good_input);
    for (const auto& [first, second] : runners) {
        if (!is_root && (first != nobody || second != nobody)) continue;
        SCOPED_TRACE("first " + std::to_string(first) + ", then " + std::to_string(second));
        const std::string dir = folder_with("lock_drop_box", good_input);
        ASSERT_EQ(chmod(dir.c_str(), is_root ? 0733 : 0333), 0);
        int read_pipe[2], go_pipe[2], busy_pipe[2];
        ASSERT_EQ(pipe(read_pipe), 0);
        ASSERT_EQ(pipe(go_pipe), 0);
        const pid_t a = start_run_as(is_root ? first : -1, dir, read_pipe[1], go_pipe[0], -1);
        close(read_pipe[1]);
        close(go_pipe[0]);
        char byte = 0;
        ASSERT_EQ(read(read_pipe[0], &byte, 1), 1);
        ASSERT_EQ(pipe(busy_pipe), 0);
        const pid_t b = start_run_as(is_root ? second : -1, dir, -1, -1, busy_pipe[1]);
        close(busy_pipe[1]);
        const bool b_waited = read(busy_pipe[0], &byte, 1) == 1;
        EXPECT_EQ(write(go_pipe[1], "g", 1), 1);
        EXPECT_EQ(exit_status(a), 0);
        EXPECT_EQ(exit_status(b), 0);
        EXPECT_TRUE(b_waited) << "the second run did not wait for the first";
        for (int fd : {read_pipe[0], go_pipe[1], busy_pipe[0]}) close(fd);
        ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
        EXPECT_EQ(snapshot_folder(dir), expected);
    }
}

// Runs started together in one folder take turns, each reading input.txt and committing its
// set under the lock: however their starts and the replacements of input.txt interleave,
// the folder ends with the three files of one input.
TEST(Lock, RunsStartedTogetherLeaveTheSetOfOneInput) {
    folder_state first = outputs_of("lock_first", good_input),
                 second = outputs_of("lock_second", second_input());
    first.erase("input.txt");
    second.erase("input.txt");
    const std::string dir = make_scratch_dir("lock_together");
    for (int round = 0; round < 8; ++round) {
        int pids[4];
        for (int i = 0; i < 4; ++i) {
            write_file(dir + "/input.new", i % 2 == 0 ? good_input : second_input());
            fs::rename(dir + "/input.new", dir + "/input.txt");
            pids[i] = start_program_in(dir);
        }
        for (int pid : pids) EXPECT_EQ(finish_program(pid, dir).status, 0);
        folder_state after = snapshot_folder(dir);
        after.erase("input.txt");
        EXPECT_TRUE(after == first || after == second) << "round " << round;
    }
}

// Two programs wait for a lock held here, and say so after a second; Ctrl-C ends the first
// at once with status 130 and nothing written, the second runs once the lock is let go.
TEST(Lock, WaitingProgramSaysSoAndStopsAtCtrlC) {
    const std::string dir = folder_with_earlier_results("lock_waits"),
                      other = make_scratch_dir("lock_waits_elsewhere");
    const folder_state before = snapshot_folder(dir);
    const int holder = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    const int interrupted = start_program_in(dir);
    run_options by_name;
    by_name.arguments = {dir};
    const int waiting_run = start_program_in(other, by_name);
    EXPECT_TRUE(wait_for_text(dir + "/.stderr", waiting));
    EXPECT_TRUE(wait_for_text(other + "/.stderr", waiting));
    kill(interrupted, SIGINT);
    const run_result stopped = finish_program(interrupted, dir);
    EXPECT_EQ(stopped.status, 130);
    EXPECT_EQ(stopped.stderr_text,
              waiting + "phasemap: interrupted by SIGINT; earlier outputs are unchanged\n");
    EXPECT_EQ(snapshot_folder(dir), before);
    close(holder);
    const run_result result = finish_program(waiting_run, other);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.stderr_text, waiting);
}

bool (*const give_up_at_third_ask)() = [] {
    static int asked = 0;
    return ++asked == 3;
};

// A host's hook ends the wait: the run reads and writes nothing, says nothing, and holds no
// lock afterwards.
TEST(Lock, HostMayGiveUpTheWait) {
    const std::string dir = folder_with_earlier_results("lock_given_up");
    write_file(dir + "/input.txt", second_input());
    const folder_state before = snapshot_folder(dir);
    const int holder = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    set_lock_wait_hook(give_up_at_third_ask);
    const run_result given_up = run_in_process(dir);
    set_lock_wait_hook(nullptr);
    close(holder);
    EXPECT_EQ(given_up.status, run_given_up);
    EXPECT_EQ(given_up.stderr_text, "");
    EXPECT_EQ(last_run_stop().message, "");
    EXPECT_EQ(snapshot_folder(dir), before);
    EXPECT_EQ(run_in_process(dir).status, 0);
}

// Where the folder cannot be locked, the run goes on and says why on standard error.
TEST(Lock, SaysWhenNoLockCanBeHad) {
    const std::string dir = folder_with("lock_none", good_input);
    set_file_system_faults({false, false, 0, 0, ENOLCK});
    const run_result result = run_in_process(dir);
    set_file_system_faults({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.stderr_text,
              "phasemap: cannot lock this folder (No locks available), so another phasemap run "
              "in it at the same time could mix its files with this run's\n");
}

}  // namespace
