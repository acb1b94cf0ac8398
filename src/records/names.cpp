// The name each unit's file was last opened under, kept after the unit is closed, for the
// messages that name it (a fixed table, so that a signal handler may read it), and the folder
// every name is taken in.
#include <fcntl.h>
#include <algorithm>
#include <cstring>
#include <string>

#include "records/internals.hpp"

namespace {

char file_names[max_units][max_file_name + 1];
int the_run_folder = AT_FDCWD;  // set_run_folder

bool is_unit_number(int32_t unit) { return unit >= 0 && unit < max_units; }

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

void set_run_folder(int folder) { the_run_folder = folder; }

int run_folder() { return the_run_folder; }
