// Output units: each output file of the run with a fixed buffer of its own. Every record is
// finished here and nowhere else: its bytes, then CR LF. A unit's buffer holds whole
// records; only a record longer than the buffer is ever written out in pieces.
//
// A unit never writes to its file's name directly: it writes a temporary beside it
// (".log.out.partial-<pid>", created exclusively) in the file's folder, which is opened
// beneath the run's folder and never through a symbolic link that leads out of it. The
// outputs of a complete run are committed as one set: all are written and closed first,
// every earlier file is kept under a second name (or exchanged for the new one, or renamed
// aside just before it moves, where the file system has no hard links), and only then are
// they moved onto their names, one after another; when one cannot be moved, those already
// moved are put back, so the set is replaced whole or not at all. An earlier file that
// cannot be put back either keeps its second name, which the message gives, and is never
// removed. A unit closed without commit removes its temporary. Messages name the unit by the
// file name it was opened under.
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/run_points.hpp"
#include "records/fatal.hpp"
#include "records/internals.hpp"

namespace {

constexpr int32_t append_chunk = 4096;   // largest piece copied into a buffer at once
constexpr int32_t max_name_tries = 100;  // hidden names tried when earlier ones are taken
constexpr int32_t max_set_size = max_units;

output_unit units[max_units];
// Whether output units open on /dev/null instead of a temporary (set_output_discard).
bool discarding_outputs = false;
// Folders walked up from a map's folder before the walk gives up (no real tree is this deep).
constexpr int32_t max_folder_depth = 4096;

bool is_unit_number(int32_t unit) { return unit >= 0 && unit < max_units; }

// Blocks every signal that can arrive from outside while a temporary is created and
// registered, or while a set is moved into place: a handler that ran in between would miss
// the temporary, or find half a set. The faults the code itself may raise stay deliverable.
struct outside_signals_held {
    sigset_t previous;
    outside_signals_held() {
        sigset_t all;
        sigfillset(&all);
        for (int fault : {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGTRAP, SIGABRT})
            sigdelset(&all, fault);
        pthread_sigmask(SIG_BLOCK, &all, &previous);
    }
    ~outside_signals_held() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
    outside_signals_held(const outside_signals_held&) = delete;
    outside_signals_held& operator=(const outside_signals_held&) = delete;
};

// Returns 0 or the errno of the failed write.
int write_all(int fd, const char* data, int32_t length) {
    while (length > 0) {
        ssize_t written = ::write(fd, data, static_cast<std::size_t>(length));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data += written;
        length -= static_cast<int32_t>(written);
    }
    return 0;
}

void drop_buffer(output_unit& u) {
    u.used = 0;
    u.record_start = 0;
    u.record_spilled = false;
}

[[noreturn]] void stop_on_write_failure(output_unit& u, int error) {
    u.has_failed = true;
    u.failure = error;
    drop_buffer(u);
    stop_run(u.number, 0, std::string("cannot write: ") + std::strerror(error));
}

// The temporary open for writing: a unit whose file was already closed for a commit that
// failed opens it again, to add the error record. Returns 0 or the errno.
int open_descriptor(output_unit& u) {
    if (u.fd >= 0) return 0;
    u.fd = ::openat(u.folder, u.temporary_name, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    return u.fd >= 0 ? 0 : errno;
}

// Writes the finished records and keeps the record being built at the buffer's start.
// Returns 0 or the errno of the failed write.
int write_finished_records(output_unit& u) {
    if (u.record_start == 0) return 0;
    int error = open_descriptor(u);
    if (error == 0) error = write_all(u.fd, u.buffer, u.record_start);
    if (error != 0) return error;
    u.used -= u.record_start;
    std::memmove(u.buffer, u.buffer + u.record_start, static_cast<std::size_t>(u.used));
    u.record_start = 0;
    return 0;
}

// Frees `length` bytes (at most append_chunk) at the end of the buffer.
void make_room(output_unit& u, int32_t length) {
    int error = write_finished_records(u);
    if (error != 0) stop_on_write_failure(u, error);
    if (unit_buffer_size - u.used >= length) return;
    error = write_all(u.fd, u.buffer, u.used);
    if (error != 0) stop_on_write_failure(u, error);
    u.record_spilled = true;
    u.used = 0;
}

// "oxide.ps", "partial", pid 42, try 0 -> ".oxide.ps.partial-42"; try 3 -> "...-42-3".
void name_hidden_file(const char* base, const char* kind, int32_t attempt, char* name) {
    char* at = name;
    *at++ = '.';
    const std::size_t base_length = std::strlen(base);
    std::memcpy(at, base, base_length);
    at += base_length;
    *at++ = '.';
    const std::size_t kind_length = std::strlen(kind);
    std::memcpy(at, kind, kind_length);
    at += kind_length;
    *at++ = '-';
    at = std::to_chars(at, at + 20, static_cast<long>(::getpid())).ptr;
    if (attempt > 0) {
        *at++ = '-';
        at = std::to_chars(at, at + 12, attempt).ptr;
    }
    *at = '\0';
}

// Splits "maps/oxide.ps" into the folder "maps" and the base name "oxide.ps" (kept in the
// unit); false when there is no base name.
bool split_file_name(const char* file_name, std::string_view& folder, output_unit& u) {
    const std::string_view name(file_name);
    const std::size_t slash = name.rfind('/');
    folder = slash == std::string_view::npos ? std::string_view() : name.substr(0, slash);
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    std::memcpy(u.base_name, base.data(), base.size());
    u.base_name[base.size()] = '\0';
    return !base.empty() && base != "." && base != "..";
}

// Creates the unit's temporary in its folder, readable and writable as a plainly created
// file would be (0666 less the umask). It is registered for removal before any signal can
// see it exist. Returns the descriptor, or -1 with errno set.
int create_temporary(output_unit& u) {
    struct stat existing {};
    if (::fstatat(u.folder, u.base_name, &existing, 0) == 0 && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    for (int32_t attempt = 0; attempt < max_name_tries; ++attempt) {
        name_hidden_file(u.base_name, "partial", attempt, u.temporary_name);
        int fd = -1;
        int error = 0;
        {
            const outside_signals_held held;
            fd = ::openat(u.folder, u.temporary_name,
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            error = errno;
            if (fd >= 0) {
                u.has_temporary = 1;
                pass_run_point(run_point::file_created);
            }
        }
        if (fd >= 0) return fd;
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    return -1;
}

void remove_temporary(output_unit& u) {
    if (u.has_temporary == 0) return;
    u.has_temporary = 0;
    ::unlinkat(u.folder, u.temporary_name, 0);
}

// Closes the unit without committing it: its temporary goes, its file stays as it was.
void discard_unit(output_unit& u) {
    if (!u.is_open) return;
    if (u.fd >= 0) ::close(u.fd);
    remove_temporary(u);
    if (u.has_kept_file) ::unlinkat(u.folder, u.kept_name, 0);
    if (u.folder >= 0) ::close(u.folder);
    drop_buffer(u);
    u.is_open = false;
    u.has_failed = false;
    u.has_kept_file = false;
    u.failure = 0;
    u.fd = -1;
    u.folder = -1;
}

// Writes what is still buffered and closes the temporary (on some file systems a write
// error shows only at close); 0 or the errno of what failed. The file is not forced to
// disk: a rename over an earlier file makes Linux's ext4 and btrfs write the new data
// first, which keeps the earlier file whole through a power cut at no cost to the run.
int write_and_close(output_unit& u) {
    if (u.has_failed) return u.failure;
    int error = open_descriptor(u);
    if (error == 0) error = write_all(u.fd, u.buffer, u.record_start);
    if (::close(u.fd) != 0 && errno != EINTR && error == 0) error = errno;
    u.fd = -1;
    if (error == 0) drop_buffer(u);
    return error;
}

int force_temporary_to_disk(const output_unit& u) {
    const int fd = ::openat(u.folder, u.temporary_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fdatasync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Before the set moves: keeps the file that has the unit's name under a second, hidden name
// (a hard link), so that it can be put back. Where no second name can be made (a file
// system without hard links, a file that belongs to someone else), the move will exchange
// the two names instead, or, where the file system cannot exchange names either, rename the
// earlier file to a second name just before the new one takes its name. Neither makes the
// file system write the new data first, as a rename over a file does, so the new file is
// forced to disk now, which costs a few milliseconds but only in this case. Returns 0 or the
// errno.
int keep_earlier_file(output_unit& u) {
    struct stat earlier {};
    if (::fstatat(u.folder, u.base_name, &earlier, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) return errno;
        u.move = file_move::onto_free_name;
        return 0;
    }
    for (int32_t attempt = 0; attempt < max_name_tries; ++attempt) {
        name_hidden_file(u.base_name, "previous", attempt, u.kept_name);
        if (::linkat(u.folder, u.base_name, u.folder, u.kept_name, 0) == 0) {
            u.has_kept_file = true;
            u.move = file_move::over_kept_file;
            return 0;
        }
        if (errno != EEXIST) break;
    }
    u.move = file_move::exchanged;
    return force_temporary_to_disk(u);
}

// A rename that never replaces a file at `to` (EEXIST then); where the file system cannot
// promise that itself, the name is looked at first.
int rename_without_replacing(int folder, const char* from, const char* to) {
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL) return errno;
    struct stat existing {};
    if (::fstatat(folder, to, &existing, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(folder, from, folder, to) == 0 ? 0 : errno;
}

// Whether a failed exchange of two names says that the file system cannot exchange names.
bool cannot_exchange(int error) {
    return error == EINVAL || error == EOPNOTSUPP || error == ENOSYS;
}

// Renames the earlier file to a free hidden name, ".oxide.ps.previous-<pid>"; 0 or the errno.
int rename_earlier_aside(output_unit& u) {
    for (int32_t attempt = 0; attempt < max_name_tries; ++attempt) {
        name_hidden_file(u.base_name, "previous", attempt, u.kept_name);
        const int error = rename_without_replacing(u.folder, u.base_name, u.kept_name);
        if (error == 0) u.has_kept_file = true;
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

// Moves the unit's temporary onto its name; 0 or the errno. A unit renamed aside whose new
// file then cannot take the name is left with the name free and the earlier file aside, for
// stop_after_putting_back to put back.
int move_into_place(output_unit& u) {
    int error = 0;
    switch (u.move) {
        case file_move::onto_free_name:
            error = rename_without_replacing(u.folder, u.temporary_name, u.base_name);
            break;
        case file_move::over_kept_file:
            error = ::renameat(u.folder, u.temporary_name, u.folder, u.base_name) == 0 ? 0 : errno;
            break;
        case file_move::exchanged:
            error =
                ::renameat2(u.folder, u.temporary_name, u.folder, u.base_name, RENAME_EXCHANGE) == 0
                    ? 0
                    : errno;
            if (!cannot_exchange(error)) break;
            u.move = file_move::renamed_aside;
            [[fallthrough]];
        case file_move::renamed_aside:
            error = rename_earlier_aside(u);
            if (error == 0)
                error = rename_without_replacing(u.folder, u.temporary_name, u.base_name);
            break;
    }
    // After an exchange the temporary's name holds the earlier file, which goes once the
    // whole set is in place.
    if (error == 0) u.has_temporary = 0;
    return error;
}

// Puts back the earlier file of a unit that was moved; 0 or the errno. The new file goes.
int put_back(output_unit& u) {
    switch (u.move) {
        case file_move::onto_free_name:
            return ::unlinkat(u.folder, u.base_name, 0) == 0 ? 0 : errno;
        case file_move::over_kept_file:
        case file_move::renamed_aside:
            if (::renameat(u.folder, u.kept_name, u.folder, u.base_name) != 0) return errno;
            u.has_kept_file = false;
            return 0;
        case file_move::exchanged:
            if (::renameat2(u.folder, u.temporary_name, u.folder, u.base_name, RENAME_EXCHANGE) !=
                0)
                return errno;
            u.has_temporary = 1;  // the new file, back under the temporary's name
            return 0;
    }
    return 0;
}

// Removes what kept the earlier file once the new one has its name, and closes the unit.
void finish_commit(output_unit& u) {
    if (u.move == file_move::exchanged) ::unlinkat(u.folder, u.temporary_name, 0);
    if (u.has_kept_file) ::unlinkat(u.folder, u.kept_name, 0);
    u.has_kept_file = false;
    ::close(u.folder);
    u.folder = -1;
    u.is_open = false;
}

// "maps/oxide.ps" and ".oxide.ps.previous-42" -> "maps/.oxide.ps.previous-42": a hidden name
// beside the unit's file, as messages name it.
std::string name_beside(const output_unit& u, const char* hidden) {
    const std::string name = unit_file_name(u.number);
    return name.substr(0, name.size() - std::strlen(u.base_name)) + hidden;
}

// When a moved unit cannot be put back (`error`), its earlier file stays where it is, never
// to be removed by this run, and the message says where: under the second name it was kept
// as, or, after an exchange, under a "previous" name it is given now (or else the
// temporary's name it holds).
std::string keep_what_was_not_put_back(output_unit& u, int error) {
    const std::string name = unit_file_name(u.number);
    const std::string why = std::strerror(error);
    if (u.move == file_move::onto_free_name)
        return "; the new " + name + ", which had no earlier file, could not be removed (" + why +
               ")";
    const char* kept = u.temporary_name;
    if (u.move == file_move::exchanged) {
        for (int32_t attempt = 0; attempt < max_name_tries && kept == u.temporary_name; ++attempt) {
            name_hidden_file(u.base_name, "previous", attempt, u.kept_name);
            const int renamed = rename_without_replacing(u.folder, u.temporary_name, u.kept_name);
            if (renamed == 0) kept = u.kept_name;
            if (renamed != EEXIST) break;
        }
    } else {
        kept = u.kept_name;
    }
    u.has_kept_file = false;
    return "; the earlier " + name + " could not be put back (" + why + ") and is kept as " +
           name_beside(u, kept);
}

// A file of the set (`failed`) cannot be kept or moved: the `moved` files before it are put
// back (and the failed one, when it had been renamed aside), the second names of the others
// are removed, and the run stops naming the file and why. A file that still holds earlier
// results is never removed here: one that cannot be put back keeps its second name, which
// the message gives.
[[noreturn]] void stop_after_putting_back(output_unit* set[], int32_t count, int32_t moved,
                                          int32_t failed, int error) {
    std::string problems;
    const bool failed_aside =
        set[failed]->move == file_move::renamed_aside && set[failed]->has_kept_file;
    for (int32_t i = failed_aside ? failed : moved - 1; i >= 0; --i) {
        const int undo_error = put_back(*set[i]);
        if (undo_error != 0) problems += keep_what_was_not_put_back(*set[i], undo_error);
    }
    for (int32_t i = 0; i < count; ++i) {
        output_unit& u = *set[i];
        if (u.has_kept_file) ::unlinkat(u.folder, u.kept_name, 0);
        u.has_kept_file = false;
    }
    stop_run(set[failed]->number, 0,
             std::string("cannot replace the file: ") + std::strerror(error) + problems);
}

}  // namespace

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

void append_in_chunks(output_unit& u, const char* data, int32_t length) {
    while (length > 0) {
        int32_t chunk = length < append_chunk ? length : append_chunk;
        if (unit_buffer_size - u.used < chunk) make_room(u, chunk);
        std::memcpy(u.buffer + u.used, data, static_cast<std::size_t>(chunk));
        u.used += chunk;
        data += chunk;
        length -= chunk;
    }
}

void append_blanks_in_chunks(output_unit& u, int32_t count) {
    while (count > 0) {
        int32_t chunk = count < append_chunk ? count : append_chunk;
        if (unit_buffer_size - u.used < chunk) make_room(u, chunk);
        std::memset(u.buffer + u.used, ' ', static_cast<std::size_t>(chunk));
        u.used += chunk;
        count -= chunk;
    }
}

void abandon_record(output_unit& u) {
    if (u.record_spilled) {
        end_record(u);
        return;
    }
    u.used = u.record_start;
}

bool is_unit_kept(int32_t unit) {
    return !is_unit_open(unit) || (!units[unit].has_failed && !units[unit].discards);
}

output_unit* writable_unit(int32_t unit) {
    if (!is_unit_open(unit)) stop_run(unit, 0, "cannot write: the file is not open");
    output_unit& u = units[unit];
    return u.has_failed || u.discards ? nullptr : &u;
}

void write_raw_record(int32_t unit, std::string_view text) {
    output_unit* out = writable_unit(unit);
    if (out == nullptr) return;
    append(*out, text.data(), static_cast<int32_t>(text.size()));
    end_record(*out);
}

void open_output_unit(int32_t unit, const char* file_name) {
    if (!is_unit_number(unit)) stop_run(unit, 0, "there is no output unit with this number");
    output_unit& u = units[unit];
    discard_unit(u);
    remember_unit_name(unit, file_name);
    u.number = unit;
    std::string_view folder;
    int error = 0;
    if (std::strlen(file_name) > max_file_name) {
        error = ENAMETOOLONG;
    } else if (!split_file_name(file_name, folder, u)) {
        error = EISDIR;
    } else if (discarding_outputs) {
        u.fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (u.fd < 0) error = errno;
    } else if ((u.folder = open_folder_beneath(folder)) < 0) {
        error = errno;
    } else if ((u.fd = create_temporary(u)) < 0) {
        error = errno;
        ::close(u.folder);
        u.folder = -1;
    }
    if (error == EXDEV)
        stop_run(unit, 0, "cannot create the file: its folder lies outside the run's folder");
    if (error != 0)
        stop_run(unit, 0, std::string("cannot create the file: ") + std::strerror(error));
    u.is_open = true;
    u.has_failed = false;
    u.discards = discarding_outputs;
    u.has_kept_file = false;
    u.failure = 0;
    drop_buffer(u);
}

void commit_output_units(std::initializer_list<int32_t> set_units) {
    output_unit* set[max_set_size];
    int32_t count = 0;
    for (int32_t unit : set_units) {
        if (!is_unit_open(unit)) stop_run(unit, 0, "cannot write: the file is not open");
        if (count < max_set_size) set[count++] = &units[unit];
    }
    // Step 1: every file of the set written out in full and closed.
    for (int32_t i = 0; i < count; ++i) {
        const int error = write_and_close(*set[i]);
        if (error != 0) stop_on_write_failure(*set[i], error);
    }
    // Step 2: every earlier file kept under a second name; step 3: the set moved into place
    // in the order given, put back whole when one cannot be moved. No signal from outside
    // interrupts these steps.
    const outside_signals_held held;
    for (int32_t i = 0; i < count; ++i) {
        const int error = keep_earlier_file(*set[i]);
        if (error != 0) stop_after_putting_back(set, count, 0, i, error);
    }
    for (int32_t i = 0; i < count; ++i) {
        const int error = move_into_place(*set[i]);
        if (error != 0) stop_after_putting_back(set, count, i, i, error);
        pass_run_point(run_point::file_moved);
    }
    // Step 4: the earlier files go.
    for (int32_t i = 0; i < count; ++i) finish_commit(*set[i]);
}

void set_output_discard(bool discard) { discarding_outputs = discard; }

bool are_outputs_discarded() { return discarding_outputs; }

void discard_output_unit(int32_t unit) {
    if (is_unit_number(unit)) discard_unit(units[unit]);
}

void remove_temporaries_in_signal() {
    for (output_unit& u : units) remove_temporary(u);
}

void commit_unit_in_signal(int32_t unit, const char* last_record, std::size_t length) {
    output_unit& u = units[unit];
    if (!u.is_open || u.has_temporary == 0 || u.has_failed) return;
    if (open_descriptor(u) != 0 || write_all(u.fd, u.buffer, u.record_start) != 0 ||
        write_all(u.fd, last_record, static_cast<int32_t>(length)) != 0 ||
        write_all(u.fd, "\r\n", 2) != 0)
        return;
    u.has_temporary = 0;
    if (::renameat(u.folder, u.temporary_name, u.folder, u.base_name) != 0)
        ::unlinkat(u.folder, u.temporary_name, 0);
}

bool is_unit_open(int32_t unit) { return is_unit_number(unit) && units[unit].is_open; }

// Writes every unit's finished records; the first unit that fails is reported once all
// have been tried.
void flush_output_units() {
    output_unit* failed = nullptr;
    int failed_error = 0;
    for (output_unit& u : units) {
        if (!u.is_open || u.has_failed) continue;
        int error = write_finished_records(u);
        if (error == 0) continue;
        u.has_failed = true;
        drop_buffer(u);
        if (failed == nullptr) {
            failed = &u;
            failed_error = error;
        }
    }
    if (failed != nullptr)
        stop_run(failed->number, 0, std::string("cannot write: ") + std::strerror(failed_error));
}

void close_all_units() {
    for (output_unit& u : units) discard_unit(u);
    close_input_unit();
}

void forget_units_after_fork() {
    for (output_unit& u : units) {
        if (!u.is_open) continue;
        if (u.fd >= 0) ::close(u.fd);
        if (u.folder >= 0) ::close(u.folder);
        drop_buffer(u);
        u.fd = -1;
        u.folder = -1;
        u.has_temporary = 0;
        u.has_kept_file = false;
        u.has_failed = false;
        u.failure = 0;
        u.is_open = false;
    }
    discarding_outputs = false;
    close_input_unit();
}
