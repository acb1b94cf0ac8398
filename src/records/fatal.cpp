#include "records/fatal.hpp"

#include <unistd.h>
#include <algorithm>
#include <cstring>

#include "core/label_glyphs.hpp"
#include "records/records.hpp"

namespace {

constexpr int32_t max_warnings = 20;  // warnings shown in one run
int32_t warning_count = 0;
bool warnings_are_fatal = false;
std::vector<message_line>* message_sink = nullptr;

// The prefix of every message line, "d2: " or empty; a plain array, since the signal
// handlers write it too.
constexpr std::size_t max_prefix = 4096;
char message_prefix[max_prefix + 3];
std::size_t message_prefix_length = 0;

std::string compose_message(int32_t unit, int32_t line, std::string_view what) {
    std::string message =
        "phasemap: " + unit_file_name(unit) + " (unit " + std::to_string(unit) + ")";
    if (line > 0) message += ", line " + std::to_string(line);
    message += ": ";
    message += what;
    return message;
}

// A standard error that is closed, or a pipe nobody reads any more, loses the message; the
// run goes on (SIGPIPE is ignored while phasemap runs).
void write_to_standard_error(const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(2, text, length);
        if (written <= 0) return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

// One line for standard error, or for the sink.
void emit_line(bool is_warning, std::string_view line) {
    if (message_sink != nullptr) {
        message_sink->push_back(
            {is_warning, std::string(message_prefix, message_prefix_length) + std::string(line)});
        return;
    }
    std::string text(message_prefix, message_prefix_length);
    text += line;
    text += '\n';
    write_to_standard_error(text.data(), text.size());
}

}  // namespace

void stop_run(int32_t unit, int32_t line, std::string_view what) {
    throw run_stopped{escape_control_bytes(compose_message(unit, line, what)), unit,
                      line > 0 ? line : 0};
}

std::string escape_control_bytes(std::string_view message) {
    std::string shown;
    shown.reserve(message.size());
    for (const char c : message) {
        if (is_control_byte(c))
            append_hex_escape(shown, static_cast<unsigned char>(c));
        else
            shown += c;
    }
    return shown;
}

void append_hex_escape(std::string& text, unsigned char byte) {
    constexpr char hex[] = "0123456789ABCDEF";
    text += "\\x";
    text += hex[byte >> 4];
    text += hex[byte & 0x0F];
}

void set_message_folder(std::string_view folder) {
    message_prefix_length = 0;
    if (folder.empty()) return;
    const std::size_t length = std::min(folder.size(), max_prefix);
    std::memcpy(message_prefix, folder.data(), length);
    std::memcpy(message_prefix + length, ": ", 2);
    message_prefix_length = length + 2;
}

void print_message(std::string_view line) { emit_line(false, line); }

void set_message_sink(std::vector<message_line>* sink) { message_sink = sink; }

void print_message_in_signal(const char* line, std::size_t length) {
    if (message_sink != nullptr) return;
    write_to_standard_error(message_prefix, message_prefix_length);
    write_to_standard_error(line, length);
}

void warn_about_input(int32_t line, std::string_view what) {
    if (warnings_are_fatal)
        throw run_stopped{
            escape_control_bytes("phasemap: " + unit_file_name(unit_input) + ", line " +
                                 std::to_string(line) + ": " + std::string(what)),
            unit_input, line > 0 ? line : 0};
    ++warning_count;
    const std::string where = "phasemap: warning: " + unit_file_name(unit_input);
    if (warning_count == max_warnings + 1)
        emit_line(true, where + ": more than " + std::to_string(max_warnings) +
                            " warnings; the rest are not shown");
    if (warning_count > max_warnings) return;
    emit_line(true, escape_control_bytes(where + ", line " + std::to_string(line) + ": " +
                                         std::string(what)));
}

void reset_warning_count() { warning_count = 0; }

void set_strict_warnings(bool strict) { warnings_are_fatal = strict; }
