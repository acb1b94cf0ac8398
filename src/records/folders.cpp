// The folders of the run's files: the run's folder, which every name is taken relative to,
// and the folders of output file names, opened beneath it and never through a symbolic link
// that leads out of it.
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <string>

#include "records/folders.hpp"
#include "records/records.hpp"

namespace {

int the_run_folder = AT_FDCWD;  // set_run_folder
// Folders walked up from a map's folder before the walk gives up (no real tree is this deep).
constexpr int32_t max_folder_depth = 4096;

}  // namespace

void set_run_folder(int folder) { the_run_folder = folder; }

int run_folder() { return the_run_folder; }

bool has_run_folder() { return the_run_folder != AT_FDCWD; }

int open_folder_beneath(std::string_view folder) {
    if (folder.empty()) return ::openat(run_folder(), ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    const std::string path(folder);
    if (path[0] == '/') return ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, run_folder(), path.c_str(), &how, sizeof how);
    if (fd >= 0) return static_cast<int>(fd);
    // ENOSYS from a kernel before openat2, EPERM from a container that filters it out.
    if (errno != ENOSYS && errno != EPERM) return -1;
    return open_folder_beneath_by_walking(run_folder(), path.c_str());
}

int open_folder_beneath_by_walking(int base, const char* folder) {
    struct stat top {};
    if (::fstatat(base, ".", &top, 0) != 0) return -1;
    const int target = ::openat(base, folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (target < 0) return -1;
    int at = ::openat(target, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    int error = at < 0 ? errno : EXDEV;
    for (int32_t depth = 0; at >= 0 && depth < max_folder_depth; ++depth) {
        struct stat here {};
        if (::fstat(at, &here) != 0) {
            error = errno;
            break;
        }
        if (here.st_dev == top.st_dev && here.st_ino == top.st_ino) {
            ::close(at);
            return target;
        }
        const int parent = ::openat(at, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat above {};
        if (parent < 0 || ::fstat(parent, &above) != 0) {
            error = errno;
            if (parent >= 0) ::close(parent);
            break;
        }
        ::close(at);
        at = parent;
        if (above.st_dev == here.st_dev && above.st_ino == here.st_ino) break;  // the root
    }
    if (at >= 0) ::close(at);
    ::close(target);
    errno = error;
    return -1;
}

bool is_folder_outside(std::string_view file_name) {
    const std::size_t slash = file_name.rfind('/');
    if (slash == std::string_view::npos) return false;
    const int folder = open_folder_beneath(file_name.substr(0, slash));
    if (folder >= 0) ::close(folder);
    return folder < 0 && errno == EXDEV;
}
