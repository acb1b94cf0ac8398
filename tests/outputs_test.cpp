// The run's outputs: the table's names and choices, then whole runs in scratch folders that
// hold the results of an earlier run, checking every file of the folder before and after: a
// run replaces its outputs only when it is complete, and a refused map name, a size limit or
// an input that is no plain file leaves what was there. (A map in a subfolder is the golden
// case extra-map-in-subfolder; a commit that fails part-way, records_commit_test.)
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <filesystem>

#include "core/outputs.hpp"
#include "support/test_support.hpp"

namespace fs = std::filesystem;

namespace {

output_choices asking_for(std::initializer_list<const char*> names) {
    output_choices choices{};
    for (const char* name : names) EXPECT_TRUE(ask_for_output(choices, name)) << name;
    return choices;
}

// Runs in `dir` (under a file-size limit, when given), which must then fail with exactly
// `errors` on standard error and hold what it held before but the entries in `changed`; a
// changed log.out ends with the last error.
void expect_failed_run(const std::string& dir, const std::string& errors,
                       const std::set<std::string>& changed, unsigned long file_size_limit = 0) {
    run_options options;
    options.file_size_limit = file_size_limit;
    const folder_state before = snapshot_folder(dir);
    const run_result result = run_program_in(dir, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.stderr_text, errors);
    expect_unchanged_but(before, snapshot_folder(dir), changed);
    if (changed.count("log.out") == 1) {
        EXPECT_EQ(last_line(read_file(dir + "/log.out")), last_line(errors));
    }
}

// Only the optional outputs have choices; the files named after the map take its name with
// their ending in place of the map's, in the last part of the name only; the outputs that
// hold UTF-8 text are named in the reader's warnings in table order.
TEST(OutputTable, ChoicesNamesAndTitles) {
    output_choices none{};
    for (const char* name : {"map", "log", "phase", "", "JSON", "json "})
        EXPECT_FALSE(ask_for_output(none, name)) << name;
    const std::pair<const char*, const char*> names[] = {
        {"map1.ps", "map1.svg"},        {"maps/oxide.eps", "maps/oxide.svg"},
        {"plot", "plot.svg"},           {"a.b/plot", "a.b/plot.svg"},
        {".hidden", ".hidden.svg"},     {"maps/.x", "maps/.x.svg"},
        {"two.dots.ps", "two.dots.svg"}};
    set_up_outputs(asking_for({"svg"}));
    for (const auto& [map, svg] : names) {
        name_outputs_after_map(map);
        EXPECT_EQ(output_name(static_cast<int32_t>(output_id::map)), map);
        EXPECT_EQ(output_name(static_cast<int32_t>(output_id::svg_map)), svg) << map;
    }
    const std::pair<output_choices, std::string> titles[] = {
        {{}, ""},
        {asking_for({"json"}), "phase.json"},
        {asking_for({"svg"}), "the SVG map"},
        {asking_for({"svg", "json"}), "phase.json and the SVG map"}};
    for (const auto& [choices, listed] : titles) {
        set_up_outputs(choices);
        EXPECT_EQ(utf8_output_titles(), listed);
        EXPECT_TRUE(is_output_asked(output_id::map) && is_output_asked(output_id::log));
    }
}

// The map name cannot reach the run's own files, however spelt or linked, nor leave the
// run's folder, nor hold a control character: each is refused at "stop" with the earlier
// results left as they were.
TEST(MapName, CannotHitTheRunsOwnFilesOrLeaveTheFolder) {
    const std::string own = "is the name of one of the run's own files",
                      same = "names the same file as ", control = " holds a control character";
    const std::pair<std::string, std::string> cases[] = {
        {"'./input.txt'", "'./input.txt' " + own},
        {"'.//log.out'", "'.//log.out' " + own},
        {"'sub/../phase.out'", "'sub/../phase.out' " + own},
        {"soft.ps", "'soft.ps' " + same + "input.txt"},
        {"hard.ps", "'hard.ps' " + same + "log.out"},
        {"'../.bashrc'", "'../.bashrc' leaves the run's folder through '..'"},
        {"'/tmp/phasemap-map.ps'",
         "'/tmp/phasemap-map.ps' is absolute; the map is written inside the run's folder"},
        {"'a\x01"
         "b.ps'",
         "'a\\x01b.ps'" + control},
        {"'out/m.ps'", "'out/m.ps' leads out of the run's folder through a symbolic link"},
        {"'.log.out.partial-1'",
         "'.log.out.partial-1' has the form of the hidden files phasemap keeps while it writes"},
        {std::string("'a\0b.ps'", 8), "'a\\x00b.ps'" + control},
    };
    const std::string dir = folder_with_earlier_results("files_map_names");
    fs::create_symlink("input.txt", dir + "/soft.ps");
    fs::remove_all(dir + "/../files_map_names_outside");
    fs::create_directory(dir + "/../files_map_names_outside");
    fs::create_symlink("../files_map_names_outside", dir + "/out");
    for (const auto& [name, why] : cases) {
        // each run replaces log.out, which a hard link does not follow
        fs::remove(dir + "/hard.ps");
        fs::create_hard_link(dir + "/log.out", dir + "/hard.ps");
        write_file(dir + "/input.txt", good_entries() + "output\n" + name + "\nstop\n");
        expect_failed_run(dir,
                          "phasemap: input.txt (unit 1), line 10: the map file name " + why + "\n",
                          {"log.out", "hard.ps"});
    }
    EXPECT_FALSE(file_exists("/tmp/phasemap-map.ps"));
    EXPECT_TRUE(fs::is_empty(dir + "/../files_map_names_outside"));
}

// A FIFO, a device or a folder as input.txt is refused at once, and a file over 16 MiB before
// it is read; like a missing input, they create and touch no file.
TEST(InputFile, MustBeAPlainFileOfSaneSize) {
    const std::string dir = folder_with_earlier_results("files_input_kinds");
    const std::string input = dir + "/input.txt";
    const std::pair<std::string, std::string> cases[] = {
        {"fifo", "cannot read the file: it is a FIFO, not a regular file"},
        {"device", "cannot read the file: it is a character device, not a regular file"},
        {"folder", "cannot read the file: it is a folder, not a regular file"},
        {"huge",
         "cannot read the file: it holds more than 16777216 bytes (16 MiB), far more than any "
         "input"},
        {"missing", "cannot open the file: No such file or directory"},
    };
    for (const auto& [kind, reason] : cases) {
        SCOPED_TRACE(kind);
        fs::remove_all(input);
        if (kind == "fifo") {
            ASSERT_EQ(mkfifo(input.c_str(), 0600), 0);
        }
        if (kind == "device") fs::create_symlink("/dev/zero", input);
        if (kind == "folder") fs::create_directory(input);
        if (kind == "huge") fs::resize_file((write_file(input, ""), input), 16 * 1024 * 1024 + 1);
        expect_failed_run(dir, "phasemap: input.txt (unit 1): " + reason + "\n", {});
    }
}

// With standard error closed the error still goes into log.out exactly once, as a record.
TEST(FailedRun, ClosedStandardError) {
    const std::string dir = folder_with("files_closed_stderr", "bulk\n1 x\n");
    run_options options;
    options.closes_standard_error = true;
    EXPECT_EQ(run_program_in(dir, options).status, 1);
    EXPECT_EQ(read_file(dir + "/log.out"),
              "phasemap: input.txt (unit 1), line 2: expected an integer for bulk_count_2 of the "
              "bulk entry, found 'x'\r\n");
}

// A file-size limit swept across the sizes the outputs pass through: every run either
// replaces the whole set (exit 0) or fails (exit 1) with phase.out and the map as they were,
// and log.out as it was or ending with the error; no hidden file stays behind.
TEST(OutputSet, IsReplacedWholeOrNotAtAll) {
    const folder_state fresh = outputs_of("set_fresh", second_input());
    const std::string dir = folder_with_earlier_results("set_sweep");
    write_file(dir + "/input.txt", second_input());
    const folder_state earlier = snapshot_folder(dir);
    int complete = 0, failed = 0;
    for (unsigned long limit = 64; limit <= 10800 && !HasFailure(); limit += 173) {
        restore_folder(dir, earlier);
        run_options options;
        options.file_size_limit = limit;
        const run_result result = run_program_in(dir, options);
        const folder_state after = snapshot_folder(dir);
        SCOPED_TRACE("limit " + std::to_string(limit));
        if (result.status == 0) {
            EXPECT_EQ(after, fresh);
            ++complete;
            continue;
        }
        ++failed;
        EXPECT_EQ(result.status, 1);
        expect_unchanged_but(earlier, after, {"log.out"});
        EXPECT_TRUE(after.at("log.out") == earlier.at("log.out") ||
                    last_line(after.at("log.out")) == last_line(result.stderr_text));
    }
    EXPECT_GT(complete, 0);
    EXPECT_GT(failed, 30);
}

}  // namespace
