// Helpers shared by the tests: scratch folders, whole runs of the phasemap binary, byte
// comparison of output files with the first differing line, and the ghostscript check.
#pragma once

#include <string>

// A fresh, empty folder for one test under the test's working directory.
std::string make_scratch_dir(const std::string& name);

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

struct run_result {
    int status;               // exit status of the process
    std::string stderr_text;  // everything it wrote on standard error
};

// Runs the phasemap binary with `dir` as its working directory.
run_result run_program_in(const std::string& dir);

// Writes `input` as dir/input.txt into a fresh scratch folder and runs the program there.
run_result run_program_on(const std::string& dir_name, const std::string& input, std::string* dir_out = nullptr);

// Empty when equal; otherwise names the first differing line (1-based) with both versions.
std::string first_difference(const std::string& expected, const std::string& actual);

// Lines of a CR LF file, without their terminators.
std::string line_of(const std::string& content, int line_number);
int count_lines(const std::string& content);

// Asserts that ghostscript reads the document without a PostScript error. Without gs the
// check is skipped, except under CI (CI=true), where it fails.
void expect_valid_postscript(const std::string& path);
