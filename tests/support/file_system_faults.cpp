#include "file_system_faults.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace {

file_system_faults faults{};
int renames = 0;

// Counts a rename; true when it is one of those that fail.
bool rename_fails() {
    ++renames;
    return faults.failing_rename > 0 && renames >= faults.failing_rename &&
           renames < faults.failing_rename + faults.failing_renames;
}

}  // namespace

void set_file_system_faults(const file_system_faults& set) {
    faults = set;
    renames = 0;
}

extern "C" {

int __real_renameat(int, const char*, int, const char*);
int __real_renameat2(int, const char*, int, const char*, unsigned);
int __real_linkat(int, const char*, int, const char*, int);
int __real_flock(int, int);

int __wrap_renameat(int from_folder, const char* from, int to_folder, const char* to) {
    if (rename_fails()) return errno = EIO, -1;
    return __real_renameat(from_folder, from, to_folder, to);
}

int __wrap_renameat2(int from_folder, const char* from, int to_folder, const char* to,
                     unsigned flags) {
    if ((flags & RENAME_EXCHANGE) != 0 && faults.no_name_exchange) return errno = EINVAL, -1;
    if (rename_fails()) return errno = EIO, -1;
    return __real_renameat2(from_folder, from, to_folder, to, flags);
}

int __wrap_linkat(int from_folder, const char* from, int to_folder, const char* to, int flags) {
    if (faults.no_hard_links) return errno = EPERM, -1;
    return __real_linkat(from_folder, from, to_folder, to, flags);
}

int __wrap_flock(int fd, int operation) {
    if (faults.flock_error != 0) return errno = faults.flock_error, -1;
    return __real_flock(fd, operation);
}

}  // extern "C"
