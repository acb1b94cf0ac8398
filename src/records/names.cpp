// The names of the run's files: the name each unit's file was last opened under, kept after
// the unit is closed, for the messages that name it (a fixed table, so that a signal handler
// may read it), and the hidden names a file has beside it while it is written and committed,
// made and recognised here alone.
#include <unistd.h>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "records/units.hpp"

namespace {

char file_names[max_units][max_file_name + 1];

// The word of each kind of hidden name, in the order of hidden_kind.
constexpr std::string_view hidden_kind_words[] = {"partial", "previous"};

}  // namespace

void remember_unit_name(int32_t unit, std::string_view name) {
    if (!is_unit_number(unit)) return;
    const std::size_t length = std::min(name.size(), max_file_name);
    std::memcpy(file_names[unit], name.data(), length);
    file_names[unit][length] = '\0';
}

const char* unit_name_chars(int32_t unit) {
    return is_unit_number(unit) && file_names[unit][0] != '\0' ? file_names[unit] : nullptr;
}

std::string unit_file_name(int32_t unit) {
    const char* name = unit_name_chars(unit);
    return name != nullptr ? std::string(name) : "unit " + std::to_string(unit);
}

void name_hidden_file(const char* base, hidden_kind kind, int32_t attempt, char* name) {
    const std::string_view word = hidden_kind_words[static_cast<int32_t>(kind)];
    char* at = name;
    *at++ = '.';
    const std::size_t base_length = std::strlen(base);
    std::memcpy(at, base, base_length);
    at += base_length;
    *at++ = '.';
    std::memcpy(at, word.data(), word.size());
    at += word.size();
    *at++ = '-';
    at = std::to_chars(at, at + 20, static_cast<long>(::getpid())).ptr;
    if (attempt > 0) {
        *at++ = '-';
        at = std::to_chars(at, at + 12, attempt).ptr;
    }
    *at = '\0';
}

bool is_hidden_run_file_name(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    if (!base.starts_with(".")) return false;
    // ".partial-" or ".previous-" anywhere in it
    for (const std::string_view word : hidden_kind_words)
        for (std::size_t at = base.find(word); at != std::string_view::npos;
             at = base.find(word, at + 1))
            if (base[at - 1] == '.' && base.substr(at + word.size()).starts_with("-")) return true;
    return false;
}
