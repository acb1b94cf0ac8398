// Helpers shared by the tests: scratch folders, whole runs of the phasemap binary, byte
// comparison of output files with the first differing line, and the ghostscript check.
#pragma once

#include <map>
#include <string>
#include <vector>

// A fresh, empty folder for one test under the test's working directory.
std::string make_scratch_dir(const std::string& name);

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

struct run_result {
    int status;               // exit status of the process; 128 + N after signal N
    std::string stdout_text;  // everything it wrote on standard output
    std::string stderr_text;  // everything it wrote on standard error
};

// How the binary is started: its arguments, a closed standard error, a file-size limit in
// bytes (0 for none), and the seconds after which it is killed, so that a hang fails.
struct run_options {
    std::vector<std::string> arguments;
    bool closes_standard_error = false;
    unsigned long file_size_limit = 0;
    unsigned time_limit = 20;
};

// Runs the phasemap binary with `dir` as its working directory.
run_result run_program_in(const std::string& dir, const run_options& options = {});

// Writes `input` as dir/input.txt into a fresh scratch folder and runs the program there.
run_result run_program_on(const std::string& dir_name, const std::string& input, std::string* dir_out = nullptr);

// Every file, folder and link under `dir` (but .stdout/.stderr of run_program_in), by path
// relative to it: a file's content, "<folder>" or "-> target" for a link.
using folder_state = std::map<std::string, std::string>;
folder_state snapshot_folder(const std::string& dir);

// Empty when equal; otherwise names the first differing line (1-based) with both versions.
std::string first_difference(const std::string& expected, const std::string& actual);

// Lines of a CR LF file, without their terminators.
std::string line_of(const std::string& content, int line_number);
int count_lines(const std::string& content);

// Asserts that ghostscript reads the document without a PostScript error. Without gs the
// check is skipped, except under CI (CI=true), where it fails.
void expect_valid_postscript(const std::string& path);

// Whether ghostscript is there to check `path`; when it is missing the check is skipped,
// except under CI (CI=true), where this fails the test.
bool has_ghostscript(const std::string& path);

// The text ghostscript reads off the document's pages (txtwrite), in UTF-8, one line per
// baseline.
std::string extract_postscript_text(const std::string& path);
