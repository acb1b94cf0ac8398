// Output units: each output file of the run with a fixed buffer of its own. Every record is
// finished here and nowhere else: its bytes, then CR LF. A unit's buffer holds whole
// records; only a record longer than the buffer is ever written out in pieces.
//
// A unit never writes to its file's name directly: it writes a temporary beside it
// (".log.out.partial-<pid>", created exclusively) that replaces the file, by rename, only
// when the unit is committed complete. A unit closed without commit removes its temporary,
// so a failed or interrupted run leaves every earlier output as it was. Messages name the
// unit by the file name it was opened under.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <string>

#include "records/fatal.hpp"
#include "records/internals.hpp"

namespace {

constexpr int32_t max_output_units = 10;  // unit numbers 0..9
constexpr int32_t append_chunk = 4096;    // largest piece copied into a buffer at once
constexpr int32_t max_name_tries = 100;   // temporaries tried when earlier names are taken

output_unit units[max_output_units];

// The name each unit's file was last opened under, kept after the unit is closed.
char file_names[max_output_units][max_file_name + 1];

bool is_unit_number(int32_t unit) { return unit >= 0 && unit < max_output_units; }

void remember_file_name(int32_t unit, const char* file_name) {
    const std::size_t length = std::min(std::strlen(file_name), max_file_name);
    std::memcpy(file_names[unit], file_name, length);
    file_names[unit][length] = '\0';
}

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

// Writes the finished records and keeps the record being built at the buffer's start.
// Returns 0 or the errno of the failed write.
int write_finished_records(output_unit& u) {
    if (u.record_start == 0) return 0;
    int error = write_all(u.fd, u.buffer, u.record_start);
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

// "maps/oxide.ps", pid 42, try 0 -> "maps/.oxide.ps.partial-42"; try 3 -> "...-42-3".
void name_temporary(const char* file_name, int32_t attempt, char* temporary) {
    const char* slash = std::strrchr(file_name, '/');
    const std::size_t folder =
        slash != nullptr ? static_cast<std::size_t>(slash - file_name) + 1 : 0;
    char* at = temporary;
    std::memcpy(at, file_name, folder);
    at += folder;
    *at++ = '.';
    const std::size_t base = std::strlen(file_name + folder);
    std::memcpy(at, file_name + folder, base);
    at += base;
    std::memcpy(at, ".partial-", 9);
    at += 9;
    at = std::to_chars(at, at + 20, static_cast<long>(::getpid())).ptr;
    if (attempt > 0) {
        *at++ = '-';
        at = std::to_chars(at, at + 12, attempt).ptr;
    }
    *at = '\0';
}

// Creates the unit's temporary beside `file_name`, readable and writable as a plainly
// created file would be (0666 less the umask). Returns the descriptor, or -1 with errno set.
int create_temporary(output_unit& u, const char* file_name) {
    struct stat existing;
    if (::stat(file_name, &existing) == 0 && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    for (int32_t attempt = 0; attempt < max_name_tries; ++attempt) {
        name_temporary(file_name, attempt, u.temporary_name);
        int fd = ::open(u.temporary_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            u.has_temporary = 1;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

void remove_temporary(output_unit& u) {
    if (u.has_temporary == 0) return;
    u.has_temporary = 0;
    ::unlink(u.temporary_name);
}

// Closes the unit without committing it: its temporary goes, its file stays as it was.
void discard_unit(output_unit& u) {
    if (!u.is_open) return;
    ::close(u.fd);
    remove_temporary(u);
    drop_buffer(u);
    u.is_open = false;
    u.has_failed = false;
    u.failure = 0;
    u.fd = -1;
}

// Writes what is still buffered; 0 or the errno of what failed. The file is not forced to
// disk: that would cost more than the whole run, and the rename that follows is what keeps
// the earlier file whole.
int write_out(output_unit& u) {
    if (u.has_failed) return u.failure;
    return write_all(u.fd, u.buffer, u.record_start);
}

}  // namespace

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

output_unit* writable_unit(int32_t unit) {
    if (!is_unit_open(unit)) stop_run(unit, 0, "cannot write: the file is not open");
    output_unit& u = units[unit];
    return u.has_failed ? nullptr : &u;
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
    remember_file_name(unit, file_name);
    int fd = std::strlen(file_name) <= max_file_name ? create_temporary(u, file_name)
                                                     : (errno = ENAMETOOLONG, -1);
    if (fd < 0) {
        int error = errno;
        stop_run(unit, 0, std::string("cannot create the file: ") + std::strerror(error));
    }
    u.number = unit;
    u.fd = fd;
    u.is_open = true;
    u.has_failed = false;
    u.failure = 0;
    drop_buffer(u);
}

void commit_output_unit(int32_t unit) {
    if (!is_unit_open(unit)) stop_run(unit, 0, "cannot write: the file is not open");
    output_unit& u = units[unit];
    const int error = write_out(u);
    if (error != 0) stop_on_write_failure(u, error);
    ::close(u.fd);
    u.fd = -1;
    u.is_open = false;
    drop_buffer(u);
    u.has_temporary = 0;
    if (::rename(u.temporary_name, file_names[unit]) != 0) {
        const int reason = errno;
        ::unlink(u.temporary_name);
        stop_run(unit, 0, std::string("cannot replace the file: ") + std::strerror(reason));
    }
}

void discard_output_unit(int32_t unit) {
    if (is_unit_number(unit)) discard_unit(units[unit]);
}

void remove_temporaries_in_signal() {
    for (output_unit& u : units) remove_temporary(u);
}

void commit_unit_in_signal(int32_t unit) {
    output_unit& u = units[unit];
    if (!u.is_open || u.has_temporary == 0) return;
    if (write_out(u) != 0) return;
    u.has_temporary = 0;
    if (::rename(u.temporary_name, file_names[unit]) != 0) ::unlink(u.temporary_name);
}

bool is_unit_open(int32_t unit) { return is_unit_number(unit) && units[unit].is_open; }

std::string unit_file_name(int32_t unit) {
    if (unit == unit_input) return input_file_name();
    if (!is_unit_number(unit) || file_names[unit][0] == '\0') return "unit " + std::to_string(unit);
    return file_names[unit];
}

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
