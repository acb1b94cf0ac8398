// The set commit: the outputs of a complete run replace the earlier files as one set. All are
// written and closed first, every earlier file is kept under a second name (or exchanged for
// the new one, or renamed aside just before it moves, where the file system has no hard
// links), and only then are they moved onto their names, one after another; when one cannot
// be moved, those already moved are put back, so the set is replaced whole or not at all. An
// earlier file that cannot be put back either keeps its second name, which the message gives,
// and is never removed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <string>

#include "core/run_points.hpp"
#include "records/fatal.hpp"
#include "records/units.hpp"

namespace {

constexpr int32_t max_set_size = max_units;

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
        name_hidden_file(u.base_name, hidden_kind::previous, attempt, u.kept_name);
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
        name_hidden_file(u.base_name, hidden_kind::previous, attempt, u.kept_name);
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
            name_hidden_file(u.base_name, hidden_kind::previous, attempt, u.kept_name);
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

void commit_output_units(std::span<const int32_t> set_units) {
    output_unit* set[max_set_size];
    int32_t count = 0;
    for (int32_t unit : set_units) {
        output_unit* u = open_unit(unit);
        if (u == nullptr) stop_run(unit, 0, "cannot write: the file is not open");
        if (count < max_set_size) set[count++] = u;
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

void commit_unit_in_signal(int32_t unit, const char* last_record, std::size_t length) {
    output_unit* u = open_unit(unit);
    if (u == nullptr || u->has_temporary == 0 || u->has_failed) return;
    if (open_descriptor(*u) != 0 || write_all(u->fd, u->buffer, u->record_start) != 0 ||
        write_all(u->fd, last_record, static_cast<int32_t>(length)) != 0 ||
        write_all(u->fd, "\r\n", 2) != 0)
        return;
    u->has_temporary = 0;
    if (::renameat(u->folder, u->temporary_name, u->folder, u->base_name) != 0)
        ::unlinkat(u->folder, u->temporary_name, 0);
}
