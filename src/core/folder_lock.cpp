#include "core/folder_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "core/run_points.hpp"
#include "records/fatal.hpp"

namespace {

// A run that finds another run's lock on its folder says so once it has waited this long;
// it tries again every few milliseconds, less often once it has said so.
constexpr long lock_patience_ms = 1000;
constexpr long early_poll_ms = 2;
constexpr long late_poll_ms = 20;

long milliseconds_since(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// Whether the folder's group or others may create files in it without listing it.
bool is_drop_box(const struct stat& folder) {
    const mode_t mode = folder.st_mode;
    const bool group = (mode & S_IWGRP) != 0 && (mode & S_IXGRP) != 0 && (mode & S_IRGRP) == 0;
    const bool others = (mode & S_IWOTH) != 0 && (mode & S_IXOTH) != 0 && (mode & S_IROTH) == 0;
    return group || others;
}

// Binds `socket_fd` to the abstract name of the folder, "phasemap-folder-<dev>-<ino>" in
// hexadecimal after the leading NUL; 0, EADDRINUSE while another run holds it, or the errno.
int bind_folder_name(int socket_fd, const struct stat& folder) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    char* at = address.sun_path + 1;  // sun_path[0] stays NUL: an abstract name
    constexpr std::string_view prefix = "phasemap-folder-";
    at = std::copy(prefix.begin(), prefix.end(), at);
    at = std::to_chars(at, at + 16, static_cast<unsigned long long>(folder.st_dev), 16).ptr;
    *at++ = '-';
    at = std::to_chars(at, at + 16, static_cast<unsigned long long>(folder.st_ino), 16).ptr;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                                               static_cast<std::size_t>(at - address.sun_path));
    return ::bind(socket_fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 ? 0 : errno;
}

void close_if_open(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

lock_outcome lock_folder(int folder, bool (*give_up)(), folder_lock& lock) {
    // Every descriptor goes into `lock` as it is taken, so that a child forked by another
    // thread while this one waits closes its copies (forget_run_after_fork): a copy would
    // keep the folder's name bound, or the folder locked once this run has the lock.
    lock = {-1, -1};
    struct stat info {};
    int problem = 0;  // why a lock cannot be had, for the message when none can
    if (::fstatat(folder, "", &info, AT_EMPTY_PATH) != 0) {
        problem = errno;
    } else {
        lock.folder_fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (lock.folder_fd < 0) problem = errno;
        if (lock.folder_fd < 0 || is_drop_box(info)) {
            lock.socket_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (lock.socket_fd < 0 && lock.folder_fd < 0) problem = errno;
        }
    }
    bool has_socket = false;
    bool has_flock = false;
    bool has_waited = false;
    bool has_said_so = false;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        // The socket first, then the folder itself, in every run: a run never holds one while
        // it waits for the other held by a run that waits for the first.
        bool busy = false;
        if (lock.socket_fd >= 0 && !has_socket) {
            const int error = bind_folder_name(lock.socket_fd, info);
            has_socket = error == 0;
            busy = error == EADDRINUSE;
            if (error != 0 && !busy) {
                problem = error;
                close_if_open(lock.socket_fd);
            }
        }
        if (!busy && lock.folder_fd >= 0 && !has_flock) {
            has_flock = ::flock(lock.folder_fd, LOCK_EX | LOCK_NB) == 0;
            busy = !has_flock && (errno == EWOULDBLOCK || errno == EINTR);
            if (!has_flock && !busy) {
                problem = errno;
                close_if_open(lock.folder_fd);
            }
        }
        if (!busy) break;
        if (!has_waited) pass_run_point(run_point::lock_busy);
        has_waited = true;
        if (give_up != nullptr && give_up()) {
            unlock_folder(lock);
            return lock_outcome::given_up;
        }
        const long waited = milliseconds_since(start);
        if (!has_said_so && waited >= lock_patience_ms) {
            print_message("phasemap: waiting for another phasemap run in this folder to finish");
            has_said_so = true;
        }
        const long pause_ms = waited < lock_patience_ms ? early_poll_ms : late_poll_ms;
        const timespec pause{0, pause_ms * 1000000};
        nanosleep(&pause, nullptr);
    }
    if (has_flock || has_socket) return lock_outcome::locked;
    unlock_folder(lock);
    print_message("phasemap: cannot lock this folder (" + std::string(std::strerror(problem)) +
                  "), so another phasemap run in it at the same time could mix its files with "
                  "this run's");
    return lock_outcome::unlocked;
}

void unlock_folder(folder_lock& lock) {
    close_if_open(lock.folder_fd);
    close_if_open(lock.socket_fd);
}
