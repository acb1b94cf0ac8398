// Inside the record layer: the output units. Each output file of the run has a unit with a
// fixed buffer of its own; the statements append to the buffer without a call and finish
// every record with end_record. units.cpp owns the units and their temporaries, commit.cpp
// moves a set of them into place, folders.cpp opens the folders their files are in, and
// names.cpp keeps the names they were opened under and makes their hidden names; this header
// is what those files and the statements share.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "records/records.hpp"

constexpr int32_t max_units = 10;            // unit numbers 0..9
constexpr int32_t unit_buffer_size = 65536;  // bytes buffered per unit before a write(2)
constexpr std::size_t max_file_name = 4096;  // bytes of a file name a unit keeps
// A base name with ".", ".partial-<pid>-<n>" or ".previous-<pid>-<n>"
constexpr std::size_t max_temporary_name = max_file_name + 64;
constexpr int32_t max_name_tries = 100;  // hidden names tried when earlier ones are taken

inline bool is_unit_number(int32_t unit) { return unit >= 0 && unit < max_units; }

// Remembers the name a unit's file is opened under, for messages (names.cpp).
void remember_unit_name(int32_t unit, std::string_view name);

// The hidden names a unit's file has beside it while it is written and committed (names.cpp):
// "oxide.ps", hidden_kind::partial, pid 42, try 0 -> ".oxide.ps.partial-42"; try 3 ->
// ".oxide.ps.partial-42-3". `name` holds max_temporary_name + 1 characters.
enum class hidden_kind : int32_t {
    partial,   // the temporary the unit writes
    previous,  // the earlier file, kept while the set is moved into place
};
void name_hidden_file(const char* base, hidden_kind kind, int32_t attempt, char* name);

// How a file of a committed set is moved onto its name, and so how it is put back when a
// later file of the set cannot be moved.
enum class file_move : int32_t {
    onto_free_name,  // no file had the name: put back by removing the new one
    over_kept_file,  // the earlier file is kept under a second name: put back by renaming it
    exchanged,       // the names were exchanged: put back by exchanging them again
    renamed_aside,   // the earlier file was renamed to a second name first (a file system
                     // without hard links or name exchange): put back by renaming it
};

// One output file of the run and its buffer. Declared here so that the statements append to
// the buffer without a call; the files and temporaries are units.cpp's and commit.cpp's alone.
struct output_unit {
    int32_t number;
    int fd;      // the temporary, open for writing; -1 once it is written out and closed
    int folder;  // the folder the file is in (O_PATH), -1 when the unit is not open
    bool is_open;
    bool has_failed;      // a write failed: the unit drops everything from then on
    bool discards;        // opened on /dev/null (set_output_discard): statements skip it
    bool record_spilled;  // part of the current record already went to the file
    int32_t used;
    int32_t record_start;  // where the record being built begins in the buffer
    int failure;           // errno of the write that failed, 0 while none has
    // Set once temporary_name names a file on disk, cleared before it is renamed or removed;
    // read by the signal handlers, which remove it.
    volatile sig_atomic_t has_temporary;
    bool has_kept_file;  // kept_name names the earlier file, to be removed once the set is in
                         // place (during a commit)
    file_move move;
    char base_name[max_file_name + 1];  // the file's name within `folder`
    char temporary_name[max_temporary_name + 1];
    char kept_name[max_temporary_name + 1];
    char buffer[unit_buffer_size];
};

// The unit `unit` when it is open, else null (async-signal-safe).
output_unit* open_unit(int32_t unit);

// The unit a statement writes to: null when a write to it has failed and its output is
// dropped; a unit that is not open stops the run.
output_unit* writable_unit(int32_t unit);

// Appending when the buffer is full: finished records go to the file first.
void append_in_chunks(output_unit& u, const char* data, int32_t length);
void append_blanks_in_chunks(output_unit& u, int32_t count);

// The usual case: it fits. A negative length fails the unsigned test and writes nothing.
inline void append(output_unit& u, const char* data, int32_t length) {
    if (static_cast<uint32_t>(length) > static_cast<uint32_t>(unit_buffer_size - u.used)) {
        append_in_chunks(u, data, length);
        return;
    }
    std::memcpy(u.buffer + u.used, data, static_cast<std::size_t>(length));
    u.used += length;
}

inline void append_blanks(output_unit& u, int32_t count) {
    if (static_cast<uint32_t>(count) > static_cast<uint32_t>(unit_buffer_size - u.used)) {
        append_blanks_in_chunks(u, count);
        return;
    }
    std::memset(u.buffer + u.used, ' ', static_cast<std::size_t>(count));
    u.used += count;
}

// Appends the characters of a text item with one "?" for each byte of a control character
// but the tab (below 32, DEL, U+0080 to U+009F) and of U+2028 and U+2029, so that no text
// taken from the input ends or starts a line for any reader of a record (list_output.cpp).
void append_text(output_unit& u, const char* text, int32_t length);

// Ends the record being built with CR LF.
inline void end_record(output_unit& u) {
    append(u, "\r\n", 2);
    u.record_start = u.used;
    u.record_spilled = false;
}

// Before a fatal error in the middle of a record: nothing of it is kept in the buffer, and a
// part that already reached the file is ended so that the report starts a line of its own.
void abandon_record(output_unit& u);

// ---------------------------------------------------------------------------------------
// What units.cpp and commit.cpp share (units.cpp)

// Writes all of `data`; 0 or the errno of the failed write.
int write_all(int fd, const char* data, int32_t length);

// Forgets what the buffer holds.
void drop_buffer(output_unit& u);

// Marks the unit failed and stops the run with "cannot write: ...".
[[noreturn]] void stop_on_write_failure(output_unit& u, int error);

// The temporary open for writing: a unit whose file was already closed for a commit that
// failed opens it again, to add the error record. Returns 0 or the errno.
int open_descriptor(output_unit& u);

// Blocks every signal that can arrive from outside while a temporary is created and
// registered, or while a set is moved into place: a handler that ran in between would miss
// the temporary, or find half a set. The faults the code itself may raise stay deliverable.
struct outside_signals_held {
    sigset_t previous;
    outside_signals_held();
    ~outside_signals_held();
    outside_signals_held(const outside_signals_held&) = delete;
    outside_signals_held& operator=(const outside_signals_held&) = delete;
};
