#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string make_scratch_dir(const std::string& name) {
    fs::path dir = fs::current_path() / "scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool file_exists(const std::string& path) { return fs::exists(path); }

run_result run_program_in(const std::string& dir, const run_options& options) {
    const std::string out_path = dir + "/.stdout";
    const std::string err_path = dir + "/.stderr";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        if (std::freopen(".stdout", "w", stdout) == nullptr) _exit(127);
        if (std::freopen(".stderr", "w", stderr) == nullptr) _exit(127);
        if (options.closes_standard_error) close(2);
        if (options.file_size_limit > 0) {
            const rlimit limit{options.file_size_limit, options.file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        alarm(options.time_limit);
        std::vector<char*> argv{const_cast<char*>("phasemap")};
        for (const std::string& argument : options.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(PHASEMAP_BINARY, argv.data());
        _exit(127);
    }
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    run_result result{};
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    result.stdout_text = read_file(out_path);
    result.stderr_text = read_file(err_path);
    fs::remove(out_path);
    fs::remove(err_path);
    return result;
}

folder_state snapshot_folder(const std::string& dir) {
    folder_state state;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        if (name == ".stdout" || name == ".stderr") continue;
        if (entry.is_symlink())
            state[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            state[name] = "<folder>";
        else if (entry.is_regular_file())
            state[name] = read_file(entry.path().string());
        else
            state[name] = "<special file>";
    }
    return state;
}

run_result run_program_on(const std::string& dir_name, const std::string& input, std::string* dir_out) {
    std::string dir = make_scratch_dir(dir_name);
    write_file(dir + "/input.txt", input);
    if (dir_out != nullptr) *dir_out = dir;
    return run_program_in(dir);
}

namespace {

// Splits at LF; the CR of a CR LF pair stays on its line so that a missing CR shows.
std::string nth_line(const std::string& content, int line_number, bool& found) {
    std::size_t start = 0;
    for (int i = 1; i < line_number; ++i) {
        std::size_t lf = content.find('\n', start);
        if (lf == std::string::npos) {
            found = false;
            return {};
        }
        start = lf + 1;
    }
    if (start >= content.size()) {
        found = false;
        return {};
    }
    found = true;
    std::size_t lf = content.find('\n', start);
    return content.substr(start, lf == std::string::npos ? std::string::npos : lf - start + 1);
}

std::string visible(const std::string& line) {
    std::string shown;
    for (char c : line) {
        if (c == '\r') shown += "\\r";
        else if (c == '\n') shown += "\\n";
        else shown += c;
    }
    return "\"" + shown + "\"";
}

}  // namespace

std::string first_difference(const std::string& expected, const std::string& actual) {
    if (expected == actual) return {};
    for (int line = 1;; ++line) {
        bool has_expected = false;
        bool has_actual = false;
        std::string e = nth_line(expected, line, has_expected);
        std::string a = nth_line(actual, line, has_actual);
        if (e != a || has_expected != has_actual) {
            return "first difference at line " + std::to_string(line) + ": expected " +
                   (has_expected ? visible(e) : "end of file") + ", got " +
                   (has_actual ? visible(a) : "end of file");
        }
        if (!has_expected && !has_actual) return "files differ";
    }
}

std::string line_of(const std::string& content, int line_number) {
    bool found = false;
    std::string line = nth_line(content, line_number, found);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

int count_lines(const std::string& content) {
    int lines = 0;
    for (char c : content)
        if (c == '\n') ++lines;
    return lines;
}

bool has_ghostscript(const std::string& path) {
    if (std::system("command -v gs >/dev/null 2>&1") == 0) return true;
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true") {
        ADD_FAILURE() << "ghostscript (gs) is required under CI to check " << path;
    }
    return false;
}

std::string extract_postscript_text(const std::string& path) {
    const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=txtwrite -sOutputFile=- '" + path + "'";
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run ghostscript on " << path;
        return text;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << "ghostscript could not extract the text of " << path;
    return text;
}

void expect_valid_postscript(const std::string& path) {
    if (!has_ghostscript(path)) return;
    std::string report = path + ".gs.txt";
    std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage '" + path + "' > '" +
                          report + "' 2>&1";
    int status = std::system(command.c_str());
    std::string output = read_file(report);
    fs::remove(report);
    EXPECT_EQ(status, 0) << "ghostscript rejected " << path << ":\n" << output;
    EXPECT_EQ(output.find("Error"), std::string::npos) << "ghostscript reported for " << path << ":\n" << output;
}
