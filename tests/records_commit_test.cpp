// The set commit under faults of the file system: whole runs with --json and --svg inside
// this program over the five files of an earlier run, with renames that fail (EIO) injected
// at every step of the move, on a file system with hard links, on one with name exchange
// only, and on one with neither (as FAT). A run either replaces the whole set, or fails and
// leaves every earlier file under its name; where putting one back fails too, the earlier
// file is kept under the second name the message gives, never removed.
#include <gtest/gtest.h>

#include <string>

#include "support/file_system_faults.hpp"
#include "support/test_support.hpp"

namespace {

const char* const set_files[] = {"map1.ps", "map1.svg", "phase.json", "phase.out", "log.out"};

struct file_system_kind {
    const char* name;
    bool no_hard_links;
    bool no_name_exchange;
};

constexpr file_system_kind file_system_kinds[] = {
    {"hard links", false, false},
    {"name exchange only", true, false},
    {"neither", true, true},
};

// "...; the earlier map1.ps could not be put back (...) and is kept as .map1.ps.previous-42"
// -> the kept names by the file they hold.
std::map<std::string, std::string> kept_files_named_in(const std::string& message) {
    std::map<std::string, std::string> kept;
    const std::string earlier = "; the earlier ", kept_as = ") and is kept as ";
    for (std::size_t at = message.find(earlier); at != std::string::npos;
         at = message.find(earlier, at + 1)) {
        const std::size_t name_end = message.find(' ', at + earlier.size());
        const std::size_t kept_at = message.find(kept_as, name_end);
        const std::size_t kept_end = std::min(message.find(';', kept_at), message.size());
        kept[message.substr(at + earlier.size(), name_end - at - earlier.size())] =
            message.substr(kept_at + kept_as.size(), kept_end - kept_at - kept_as.size());
    }
    return kept;
}

// A failed run: the files of the earlier set under their names, but log.out, which may end
// with the error, and a file whose put-back failed, whose earlier version stands under the
// name the message gives, while its own name holds the new one (log.out with the error) or,
// where the earlier one was renamed aside and the new one could not follow, nothing. Nothing
// else is left.
void expect_earlier_set_kept(const folder_state& earlier, const folder_state& fresh,
                             const folder_state& after, const std::string& message) {
    const std::map<std::string, std::string> kept = kept_files_named_in(message);
    std::set<std::string> expected_names = {"input.txt"};
    for (const char* name : set_files) {
        expected_names.insert(name);
        if (kept.count(name) == 1) {
            expected_names.insert(kept.at(name));
            EXPECT_TRUE(after.count(name) == 0 || after.at(name) == fresh.at(name) ||
                        (std::string(name) == "log.out" && last_line(after.at(name)) == message))
                << name;
            const auto kept_file = after.find(kept.at(name));
            EXPECT_TRUE(kept_file != after.end() && kept_file->second == earlier.at(name))
                << kept.at(name) << " does not hold the earlier " << name;
        } else if (after.count(name) == 0) {
            ADD_FAILURE() << name << " is gone; " << message;
        } else if (std::string(name) == "log.out") {
            EXPECT_TRUE(after.at(name) == earlier.at(name) || last_line(after.at(name)) == message);
        } else {
            EXPECT_EQ(after.at(name), earlier.at(name)) << name;
        }
    }
    for (const auto& [name, content] : after) EXPECT_EQ(expected_names.count(name), 1u) << name;
}

// With every run of renames that fail, from each one a commit makes: a double fault (the
// move of one file and the put-back of another) keeps the earlier file and says where; a
// file system without hard links or name exchange works as one with them.
TEST(CommitFault, EarlierFilesAreNeverLost) {
    const folder_state earlier = outputs_of("commit_earlier", good_input, {"--json", "--svg"}),
                       fresh = outputs_of("commit_fresh", second_input(), {"--json", "--svg"});
    const std::string dir = make_scratch_dir("commit_faults");
    folder_state start = earlier;
    start["input.txt"] = second_input();
    for (const file_system_kind& kind : file_system_kinds) {
        int failed = 0, double_faults = 0;
        for (int first = 0; first <= 12 && !HasFailure(); ++first) {
            for (int count : {1, 2, 40}) {
                SCOPED_TRACE(std::string(kind.name) + ": renames from " + std::to_string(first) +
                             ", " + std::to_string(count) + " failing");
                restore_folder(dir, start);
                set_file_system_faults(
                    {kind.no_hard_links, kind.no_name_exchange, first, count, 0});
                const run_result result = run_in_process(dir, true, true);
                set_file_system_faults({});
                const folder_state after = snapshot_folder(dir);
                if (result.status == 0) {
                    EXPECT_EQ(after, fresh);
                    EXPECT_EQ(result.stderr_text, "");
                    continue;
                }
                ++failed;
                ASSERT_EQ(result.status, 1);
                const std::string message =
                    result.stderr_text.substr(0, result.stderr_text.find('\n'));
                EXPECT_TRUE(message.find("cannot replace the file: Input/output error") !=
                            std::string::npos)
                    << message;
                if (!kept_files_named_in(message).empty()) ++double_faults;
                expect_earlier_set_kept(earlier, fresh, after, message);
            }
        }
        EXPECT_GT(failed, 10) << kind.name;
        EXPECT_GT(double_faults, 3) << kind.name;
    }
}

}  // namespace
