#include "test_support.hpp"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "phasemap.hpp"
#include "records/fatal.hpp"

namespace fs = std::filesystem;

const char good_input[] =
    "bulk\n1 2\n-16.5 2\nbound\n-2.0 0.0 -1.5 0.0\nsurf 2\nclean 8 16 0 20.5 -140.2\n"
    "'with H' 8 17 1 20.5 -141.4\nstop\n";

std::string good_entries() {
    return std::string(good_input).substr(0, std::string(good_input).find("stop"));
}

std::string second_input() {
    std::string input = good_input;
    return input.replace(input.find("-141.4"), 6, "-141.9");
}

std::string make_scratch_dir(const std::string& name) {
    const fs::path dir = fs::current_path() / "scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

std::string test_scratch_dir() {
    return make_scratch_dir(testing::UnitTest::GetInstance()->current_test_info()->name());
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool file_exists(const std::string& path) { return fs::exists(path); }

int start_program_in(const std::string& dir, const run_options& options) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (std::freopen(".stdout", "w", stdout) == nullptr) _exit(127);
    if (std::freopen(".stderr", "w", stderr) == nullptr) _exit(127);
    if (options.closes_standard_error) close(2);
    if (options.writes_to_closed_pipe) {
        int ends[2];
        if (pipe(ends) != 0) _exit(127);
        close(ends[0]);
        dup2(ends[1], 1);
        dup2(ends[1], 2);
    }
    if (options.file_size_limit > 0) {
        const rlimit limit{options.file_size_limit, options.file_size_limit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.user >= 0) {
        const auto id = static_cast<unsigned>(options.user);
        if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) _exit(127);
    }
    alarm(options.time_limit);
    std::vector<char*> argv{const_cast<char*>("phasemap")};
    for (const std::string& argument : options.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(PHASEMAP_BINARY, argv.data());
    _exit(127);
}

run_result finish_program(int pid, const std::string& dir) {
    const std::string out_path = dir + "/.stdout", err_path = dir + "/.stderr";
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    const run_result result{
        WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status),
        read_file(out_path), read_file(err_path)};
    fs::remove(out_path);
    fs::remove(err_path);
    return result;
}

run_result run_program_in(const std::string& dir, const run_options& options) {
    return finish_program(start_program_in(dir, options), dir);
}

run_result run_in_process(const std::string& dir, bool json, bool svg) {
    std::FILE* errors = std::tmpfile();
    const int folder = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int saved_errors = dup(2);
    if (errors == nullptr || folder < 0 || saved_errors < 0) {
        ADD_FAILURE() << "cannot set up a run in " << dir;
        return {-1, "", ""};
    }
    std::fflush(stderr);
    dup2(fileno(errors), 2);
    output_choices choices{};
    if (json) ask_for_output(choices, "json");
    if (svg) ask_for_output(choices, "svg");
    const int status = run_phasemap_in(folder, choices);
    dup2(saved_errors, 2);
    close(saved_errors);
    close(folder);
    std::string text;
    std::rewind(errors);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, errors)) > 0;)
        text.append(buffer, n);
    std::fclose(errors);
    return {status, "", text};
}

run_result run_with(const std::string& dir, std::vector<std::string> arguments) {
    run_options options;
    options.arguments = std::move(arguments);
    return run_program_in(dir, options);
}

folder_state snapshot_folder(const std::string& dir) {
    folder_state state;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        if (name == ".stdout" || name == ".stderr") continue;
        state[name] = entry.is_symlink()        ? "-> " + fs::read_symlink(entry.path()).string()
                      : entry.is_directory()    ? "<folder>"
                      : entry.is_regular_file() ? read_file(entry.path().string())
                                                : "<special file>";
    }
    return state;
}

std::string folder_with(const std::string& name, const std::string& input) {
    const std::string dir = make_scratch_dir(name);
    write_file(dir + "/input.txt", input);
    return dir;
}

std::string folder_with_earlier_results(const std::string& name) {
    const std::string dir = folder_with(name, good_input);
    const run_result first = run_program_in(dir);
    EXPECT_EQ(first.status, 0) << first.stderr_text;
    return dir;
}

folder_state outputs_of(const std::string& name, const std::string& input,
                        std::vector<std::string> arguments) {
    const std::string dir = folder_with(name, input);
    const run_result result = run_with(dir, std::move(arguments));
    EXPECT_EQ(result.status, 0) << result.stderr_text;
    return snapshot_folder(dir);
}

void restore_folder(const std::string& dir, const folder_state& state) {
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (state.count(entry.path().filename().string()) == 0) fs::remove_all(entry.path());
    for (const auto& [name, content] : state) write_file(dir + "/" + name, content);
}

void expect_unchanged_but(const folder_state& before, const folder_state& after,
                          const std::set<std::string>& changed) {
    for (const auto& [name, content] : before)
        EXPECT_TRUE(changed.count(name) == 1 ||
                    (after.count(name) == 1 && after.at(name) == content))
            << name << " changed";
    for (const auto& [name, content] : after)
        EXPECT_TRUE(before.count(name) == 1 || changed.count(name) == 1) << "the run left " << name;
}

std::string stop_message(const std::function<void()>& action) {
    try {
        action();
    } catch (const run_stopped& stop) {
        return stop.message;
    }
    return "";
}

std::string last_line(const std::string& content) {
    std::string text = content;
    if (text.ends_with('\n')) text.pop_back();
    if (text.ends_with('\r')) text.pop_back();
    return text.substr(text.rfind('\n') + 1);
}

bool has_ghostscript(const std::string& path) {
    if (std::system("command -v gs >/dev/null 2>&1") == 0) return true;
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true")
        ADD_FAILURE() << "ghostscript (gs) is required under CI to check " << path;
    return false;
}

std::string shell_output(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) ADD_FAILURE() << "cannot run " << command;
    char buffer[4096];
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int wait_status = pipe == nullptr ? -1 : pclose(pipe);
    if (status != nullptr)
        *status = wait_status != -1 && WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return output;
}

std::string extract_postscript_text(const std::string& path) {
    int status = 0;
    const std::string text = shell_output(
        "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=txtwrite -sOutputFile=- '" + path + "'", &status);
    EXPECT_EQ(status, 0) << "ghostscript could not extract the text of " << path;
    return text;
}
