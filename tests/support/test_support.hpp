// Helpers shared by the C++ tests: scratch folders, whole runs of the phasemap binary, folder
// snapshots, and ghostscript. (The golden cases are tests/support/golden_cases.py's.)
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// A fresh, empty folder for one test under the test's working directory; without a name,
// the folder is named after the running test.
std::string make_scratch_dir(const std::string& name);
std::string test_scratch_dir();

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// The two-surface input the whole-run tests start from, and its entries before "stop"; the
// same input with another energy of the second surface, which gives other outputs.
extern const char good_input[];
std::string good_entries();
std::string second_input();

struct run_result {
    int status;               // exit status of the process; 128 + N after signal N
    std::string stdout_text;  // everything it wrote on standard output
    std::string stderr_text;  // everything it wrote on standard error
};

// How the binary is started: its arguments, a closed standard error, standard output and
// error on a pipe that nobody reads, a file-size limit in bytes (0 for none), the user and
// group id to run as (-1: the test's own), and the seconds after which it is killed, so that
// a hang fails.
struct run_options {
    std::vector<std::string> arguments;
    bool closes_standard_error = false;
    bool writes_to_closed_pipe = false;
    unsigned long file_size_limit = 0;
    int user = -1;
    unsigned time_limit = 20;
};

// Runs the phasemap binary with `dir` as its working directory.
run_result run_program_in(const std::string& dir, const run_options& options = {});
// A run inside the test program (run_phasemap_in on `dir` opened), with what it wrote on
// standard error; standard output stays empty.
run_result run_in_process(const std::string& dir, bool json = false, bool svg = false);
// The same, started without waiting; finish_program waits for it and gives its result.
int start_program_in(const std::string& dir, const run_options& options = {});
run_result finish_program(int pid, const std::string& dir);
run_result run_with(const std::string& dir, std::vector<std::string> arguments);

// A fresh scratch folder holding `input` as its input.txt.
std::string folder_with(const std::string& name, const std::string& input);

// A fresh scratch folder holding the outputs of a complete run of good_input.
std::string folder_with_earlier_results(const std::string& name);

// Every file, folder and link under `dir` (but .stdout/.stderr of run_program_in), by path
// relative to it: a file's content, "<folder>" or "-> target" for a link.
using folder_state = std::map<std::string, std::string>;
folder_state snapshot_folder(const std::string& dir);

// The folder after a complete run of the program (with `arguments`) on `input` in a fresh
// scratch folder `name`, input.txt included.
folder_state outputs_of(const std::string& name, const std::string& input,
                        std::vector<std::string> arguments = {});

// Puts the files of `state` back into `dir` and removes every other entry there.
void restore_folder(const std::string& dir, const folder_state& state);

// The folder after a run equals the folder before it, but for the entries named in `changed`.
void expect_unchanged_but(const folder_state& before, const folder_state& after,
                          const std::set<std::string>& changed);

// The message of the run stop that `action` causes, or "" when it does not stop the run.
std::string stop_message(const std::function<void()>& action);

// The last line of a file, without its line end.
std::string last_line(const std::string& content);

// Runs `command` in the shell and gives what it wrote on standard output; *status gets its
// exit status (-1 when it did not exit).
std::string shell_output(const std::string& command, int* status = nullptr);

// Whether ghostscript is there to check `path`; when it is missing the check is skipped,
// except under CI (CI=true), where this fails the test.
bool has_ghostscript(const std::string& path);

// The text ghostscript reads off the document's pages (txtwrite), in UTF-8, one line per
// baseline.
std::string extract_postscript_text(const std::string& path);
