// The command line from the outside: help and version, usage errors that touch nothing, and
// runs in several folders with their messages, summary and exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

const std::string bad_input = "bulk\n1 2\n-16.5 0\n";
const std::string bad_message =
    "phasemap: input.txt (unit 1), line 3: bulk_divisor is 0, so the bulk energy per unit cell is "
    "undefined";

// A scratch folder holding a good input in itself and in the subfolders a, b (a bad input)
// and c.
std::string folders(const std::string& name) {
    const std::string dir = folder_with(name, good_input);
    for (const std::string sub : {"a", "b", "c"}) {
        fs::create_directory(dir + "/" + sub);
        write_file(dir + "/" + sub + "/input.txt", sub == "b" ? bad_input : good_input);
    }
    return dir;
}

// --help and --version print on standard output and exit 0; an unknown option or an
// argument that is no folder is a usage error with a hint (exit 2). None of them touches a
// file, also when a good folder comes before the bad argument.
TEST(CommandLine, HelpVersionAndUsageErrorsTouchNothing) {
    const std::string dir = folders("cli_usage");
    const folder_state before = snapshot_folder(dir);
    const std::string hint = "\nsee phasemap --help\n",
                      no_folder =
                          " is not a folder; give the folders to run in, each holding an input.txt";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out, err;
    } cases[] = {
        {{"--version"}, 0, "phasemap " PHASEMAP_VERSION "\n", ""},
        {{"-x"}, 2, "", "phasemap: unknown option '-x'" + hint},
        {{"a", "--bogus"}, 2, "", "phasemap: unknown option '--bogus'" + hint},
        {{"--map"}, 2, "", "phasemap: unknown option '--map'" + hint},
        {{"-json"}, 2, "", "phasemap: unknown option '-json'" + hint},
        {{"a", "input.txt"}, 2, "", "phasemap: 'input.txt'" + no_folder + hint},
        {{"missing"}, 2, "", "phasemap: 'missing'" + no_folder + hint},
    };
    for (const auto& c : cases) {
        const run_result result = run_with(dir, c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments[0];
        EXPECT_EQ(result.stdout_text, c.out);
        EXPECT_EQ(result.stderr_text, c.err);
    }
    const run_result help = run_with(dir, {"-h"});
    EXPECT_EQ(std::tuple(help.status, help.stderr_text), std::tuple(0, ""));
    EXPECT_TRUE(
        help.stdout_text.starts_with("usage: phasemap [--json] [--svg] [--strict] [FOLDER...]\n"))
        << help.stdout_text;
    EXPECT_EQ(run_with(dir, {"--help"}).stdout_text, help.stdout_text);
    EXPECT_EQ(snapshot_folder(dir), before);
}

// Each folder runs as if phasemap were started there; a failed one does not stop the others.
// With several folders every message carries its folder (log.out keeps it without) and a
// summary names the failed ones; the status is 1 when any failed. One folder gives its
// messages as they are, without a summary; no folder means the current one.
TEST(CommandLine, RunsInEachFolder) {
    const std::string dir = folders("cli_folders");
    auto expect_run = [&dir](std::vector<std::string> arguments, int status,
                             const std::string& errors) {
        const run_result result = run_with(dir, std::move(arguments));
        EXPECT_EQ(result.status, status);
        EXPECT_EQ(result.stderr_text, errors);
    };
    expect_run({"a", "b", "c"}, 1,
               "b: " + bad_message + "\nphasemap: ran 3 folders; 1 failed: b\n");
    for (const char* sub : {"a", "c"}) {
        const folder_state state = snapshot_folder(dir + "/" + sub);
        EXPECT_EQ(state.size(), 4u) << sub;  // input.txt, log.out, phase.out, map1.ps
        EXPECT_EQ(state.at("log.out"), read_file(dir + "/a/log.out"));
    }
    EXPECT_EQ(read_file(dir + "/b/log.out"), bad_message + "\r\n");
    EXPECT_FALSE(file_exists(dir + "/log.out"));
    expect_run({"--", "a", "c"}, 0, "phasemap: ran 2 folders; none failed\n");
    expect_run({"b"}, 1, bad_message + "\n");
    expect_run({}, 0, "");
    EXPECT_EQ(snapshot_folder(dir).at("log.out"), read_file(dir + "/a/log.out"));
}

// With standard output and error on a pipe that nobody reads any more, the runs go on: each
// folder gets its outputs (a failed one its log.out with the error), nothing is left behind,
// and the status is that of the runs. Help that cannot be written is an error.
TEST(CommandLine, MessagesNobodyReadsStopNothing) {
    const std::string dir = folders("cli_closed_pipe");
    run_options options;
    options.writes_to_closed_pipe = true;
    options.arguments = {"b", "a", "c"};
    EXPECT_EQ(run_program_in(dir, options).status, 1);
    EXPECT_EQ(snapshot_folder(dir + "/b").size(), 2u);  // input.txt, log.out
    EXPECT_EQ(read_file(dir + "/b/log.out"), bad_message + "\r\n");
    for (const char* sub : {"a", "c"}) EXPECT_EQ(snapshot_folder(dir + "/" + sub).size(), 4u);
    options.arguments = {"--help"};
    EXPECT_EQ(run_program_in(dir, options).status, 1);
    int status = 0;
    EXPECT_EQ(shell_output(PHASEMAP_BINARY " --version 2>&1 >/dev/full", &status),
              "phasemap: cannot write to standard output: No space left on device\n");
    EXPECT_EQ(status, 1);
}

// With --strict the first warning of a run stops it as an error would: one line without the
// word warning, the last record of log.out, exit status 1 and the earlier phase.out and map
// kept. A run without a warning is a plain run.
TEST(CommandLine, StrictTurnsTheFirstWarningIntoTheError) {
    const std::string dir = folders("cli_strict");
    ASSERT_EQ(run_with(dir, {"c"}).status, 0);
    std::string input = good_input;
    write_file(dir + "/c/input.txt", input.insert(input.find("surf"), "srf 2\n"));
    const folder_state before = snapshot_folder(dir + "/c");
    const std::string error =
        "phasemap: input.txt, line 6: 'srf' is read as a comment; did you mean 'surf'?";
    const run_result result = run_with(dir, {"--strict", "a", "c"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.stderr_text, "c: " + error + "\nphasemap: ran 2 folders; 1 failed: c\n");
    const folder_state after = snapshot_folder(dir + "/c");
    expect_unchanged_but(before, after, {"log.out"});
    EXPECT_EQ(last_line(after.at("log.out")), error);
    EXPECT_EQ(snapshot_folder(dir + "/a").size(), 4u);  // a plain run: all three outputs
}

}  // namespace
