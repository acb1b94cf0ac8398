#include "program/command_line.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "phasemap.hpp"

namespace {

constexpr std::string_view usage_text =
    "usage: phasemap [--json] [--svg] [--strict] [FOLDER...]\n"
    "\n"
    "Reads input.txt and writes log.out (the trace of the run), phase.out (the corners of\n"
    "every stable region) and the map (map1.ps unless input.txt names another file), which\n"
    "replace the earlier ones all together, and only when the run is complete. Without a\n"
    "FOLDER it runs in the current folder; with folders it runs in each of them in turn, as\n"
    "if started there. Likely slips in input.txt are told as warnings on standard error.\n"
    "\n"
    "      --json     also write phase.json: the surfaces and stable regions as data\n"
    "      --svg      also write the map in colour as SVG, named after it (map1.svg)\n"
    "      --strict   stop a run at its first warning, as at an error (exit status 1)\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "      --         end of options: every argument after it is a folder\n"
    "\n"
    "Exit status: 0 when every run is complete; 1 when a run failed (its one-line message is\n"
    "on standard error and is the last line of its log.out); 2 for a usage error; 128 + N\n"
    "when interrupted by signal N.\n"
    "\n"
    "User guide: docs/guide.md in the source tree, share/doc/phasemap/guide.md where phasemap\n"
    "is installed.\n";

// Help and version go to standard output; a write that fails there (a full disk, a closed
// pipe) is an error as in any Unix tool.
int print_to_standard_output(std::string_view text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && written) return 0;
    print_message("phasemap: cannot write to standard output: " +
                  std::string(std::strerror(errno)));
    return 1;
}

int refuse_usage(const std::string& problem) {
    print_message("phasemap: " + escape_control_bytes(problem));
    print_message("see phasemap --help");
    return 2;
}

bool is_folder(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// One run in `folder`, opened once; the run works relative to it, and the process's working
// folder stays where it was.
int run_in_folder(const char* folder, const output_choices& choices) {
    const int opened = ::open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0) {
        print_message("phasemap: cannot open the folder: " + std::string(std::strerror(errno)));
        return 1;
    }
    const int status = run_phasemap_in(opened, choices);
    ::close(opened);
    return status;
}

// Runs in each folder; several folders get their names before every message and a summary.
int run_in_folders(const std::vector<const char*>& folders, const output_choices& choices) {
    keep_standard_streams_open();
    const bool names_folders = folders.size() > 1;
    std::string failed;
    std::size_t failures = 0;
    for (const char* folder : folders) {
        if (names_folders) set_message_folder(escape_control_bytes(folder));
        const int status = run_in_folder(folder, choices);
        set_message_folder("");
        if (status == 0) continue;
        ++failures;
        failed += ' ';
        failed += escape_control_bytes(folder);
    }
    if (names_folders) {
        print_message("phasemap: ran " + std::to_string(folders.size()) + " folders; " +
                      (failures == 0 ? std::string("none failed")
                                     : std::to_string(failures) + " failed:" + failed));
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int run_command_line(int argc, char** argv) {
    output_choices choices{};
    // A reader of standard output or error that went away is no reason to stop the runs: the
    // messages still reach log.out, and every folder gets its run and its exit status.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<const char*> folders;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!options_ended && argument.starts_with("-")) {
            if (argument == "--") {
                options_ended = true;
            } else if (argument == "-h" || argument == "--help") {
                return print_to_standard_output(usage_text);
            } else if (argument == "--strict") {
                set_strict_warnings(true);
            } else if (argument == "--version") {
                return print_to_standard_output("phasemap " + std::string(phasemap_version) + "\n");
            } else if (!argument.starts_with("--") ||
                       !ask_for_output(choices, argument.substr(2))) {
                return refuse_usage(std::string("unknown option '").append(argument) + "'");
            }
            continue;
        }
        if (!is_folder(argv[i]))
            return refuse_usage(
                std::string(argument).insert(0, 1, '\'') +
                "' is not a folder; give the folders to run in, each holding an input.txt");
        folders.push_back(argv[i]);
    }
    if (folders.empty()) return run_phasemap(choices);
    return run_in_folders(folders, choices);
}
