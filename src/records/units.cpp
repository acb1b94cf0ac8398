// Output units: each output file of the run with a fixed buffer of its own. Every record is
// finished here and nowhere else: its bytes, then CR LF. A unit's buffer holds whole
// records; only a record longer than the buffer is ever written out in pieces.
//
// A unit never writes to its file's name directly: it writes a temporary beside it
// (".log.out.partial-<pid>", created exclusively) in the file's folder, which is opened
// beneath the run's folder (folders.cpp). The outputs of a complete run are committed as one
// set (commit.cpp); a unit closed without commit removes its temporary. Messages name the
// unit by the file name it was opened under.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "core/run_points.hpp"
#include "records/fatal.hpp"
#include "records/folders.hpp"
#include "records/units.hpp"

namespace {

constexpr int32_t append_chunk = 4096;  // largest piece copied into a buffer at once

output_unit units[max_units];
// Whether output units open on /dev/null instead of a temporary (set_output_discard).
bool discarding_outputs = false;

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
        name_hidden_file(u.base_name, hidden_kind::partial, attempt, u.temporary_name);
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

// Closes the unit's descriptors and forgets it, leaving whatever it named on disk.
void forget_unit(output_unit& u) {
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

// Closes the unit without committing it: its temporary goes, its file stays as it was.
void discard_unit(output_unit& u) {
    if (!u.is_open) return;
    remove_temporary(u);
    if (u.has_kept_file) ::unlinkat(u.folder, u.kept_name, 0);
    forget_unit(u);
}

// Calls `each` with every line of `text`: a line ends at "\n" or at the text's end, and the
// "\n" that ends the text starts no line of its own.
template <typename Each>
void for_each_line(std::string_view text, Each each) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        each(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

outside_signals_held::outside_signals_held() {
    sigset_t all;
    sigfillset(&all);
    for (int fault : {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGTRAP, SIGABRT}) sigdelset(&all, fault);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
}

outside_signals_held::~outside_signals_held() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

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

void write_text_records(int32_t unit, std::string_view text) {
    for_each_line(text, [unit](std::string_view line) { write_raw_record(unit, line); });
}

std::string text_as_records(std::string_view text) {
    std::string records;
    records.reserve(text.size() + text.size() / 32);
    for_each_line(text, [&records](std::string_view line) {
        records += line;
        records += "\r\n";
    });
    return records;
}

void open_output_unit(int32_t unit, const char* file_name) {
    if (!is_unit_number(unit)) stop_run(unit, 0, "there is no output unit with this number");
    output_unit& u = units[unit];
    discard_unit(u);
    // Until it opens them, the unit holds no descriptor (not 0, which a unit never opened had,
    // and which closing the unit would close: a host's standard input or a file of its own).
    u.fd = -1;
    u.folder = -1;
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

bool is_unit_open(int32_t unit) { return is_unit_number(unit) && units[unit].is_open; }

output_unit* open_unit(int32_t unit) { return is_unit_open(unit) ? &units[unit] : nullptr; }

void set_output_discard(bool discard) { discarding_outputs = discard; }

bool are_outputs_discarded() { return discarding_outputs; }

void discard_output_unit(int32_t unit) {
    if (is_unit_number(unit)) discard_unit(units[unit]);
}

void remove_temporaries_in_signal() {
    for (output_unit& u : units) remove_temporary(u);
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

void forget_units_after_fork() {
    for (output_unit& u : units)
        if (u.is_open) forget_unit(u);
    discarding_outputs = false;
    close_input_unit();
}
