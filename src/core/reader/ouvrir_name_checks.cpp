// The checks of the output names the input gives, after "stop": the map's, and those of the
// files named after it.
#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <string>
#include <string_view>

#include "core/label_glyphs.hpp"
#include "core/modules.hpp"
#include "core/outputs.hpp"
#include "core/reader/ouvrir.hpp"
#include "core/reader/ouvrir_checks.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace {

// The run's own files, which no output the input names may be: input.txt and every output
// asked for that has a name of its own (phase.json only when the run writes it).
constexpr int32_t max_own_files = 1 + max_outputs;
struct own_file_list {
    const char* names[max_own_files];
    int32_t count;
};
own_file_list own_files() {
    own_file_list own{{input_file_name}, 1};
    for (int32_t row = 0; row < max_outputs; ++row)
        if (run.outputs[row].is_asked && output_kinds[row].file_name != nullptr)
            own.names[own.count++] = output_kinds[row].file_name;
    return own;
}

// "./maps//a.ps" -> "maps/a.ps", "maps/../input.txt" -> "input.txt"; a ".." that climbs out
// of the folder stays.
std::string normalised_path(std::string_view name) {
    std::string path;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(start, end - start);
        const std::size_t last = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
        if (part == ".." && !path.empty() && std::string_view(path).substr(last) != "..") {
            path.erase(last == 0 ? 0 : last - 1);
        } else if (!part.empty() && part != ".") {
            if (!path.empty()) path += '/';
            path += part;
        }
        start = end + 1;
    }
    return path;
}

bool has_control_byte(std::string_view name) {
    return std::any_of(name.begin(), name.end(), is_control_byte);
}

bool has_parent_step(std::string_view name) {
    return name == ".." || name.starts_with("../") || name.ends_with("/..") ||
           name.find("/../") != std::string_view::npos;
}

// The run's own file that `name` reaches through a link, or null; both are taken in the
// run's folder.
const char* own_file_linked_from(const std::string& name) {
    struct stat map_file {};
    if (::fstatat(run_folder(), name.c_str(), &map_file, 0) != 0) return nullptr;
    const own_file_list own_list = own_files();
    for (int32_t i = 0; i < own_list.count; ++i) {
        const char* own = own_list.names[i];
        struct stat own_file {};
        if (::fstatat(run_folder(), own, &own_file, 0) == 0 && own_file.st_dev == map_file.st_dev &&
            own_file.st_ino == map_file.st_ino)
            return own;
    }
    return nullptr;
}

// A map is written inside the run's folder, under a name that can be neither one of the
// run's own files, however spelt or linked, nor a name that holds a control character.
// `what` names it in the messages: "the map file name", "the SVG map's name". Where the name
// leads through links is looked at only in the run's folder: a run computed for its state
// from a text has none, and the process's working folder is no part of it.
void check_output_name(const std::string& name, const std::string& what, int32_t line) {
    const std::string quoted = quoted_for_message(name);
    auto refuse = [&](const std::string& why) { stop_run(unit_input, line, what + " " + why); };
    if (name.empty()) refuse("is blank");
    if (has_control_byte(name)) refuse(quoted + " holds a control character");
    const std::string path = normalised_path(name);
    const own_file_list own_list = own_files();
    for (int32_t i = 0; i < own_list.count; ++i)
        if (path == own_list.names[i])
            refuse(quoted + " is the name of one of the run's own files");
    if (name.starts_with("/"))
        refuse(quoted + " is absolute; the map is written inside the run's folder");
    if (has_parent_step(name)) refuse(quoted + " leaves the run's folder through '..'");
    const bool has_folder = has_run_folder();
    if (has_folder && is_folder_outside(name))
        refuse(quoted + " leads out of the run's folder through a symbolic link");
    if (is_hidden_run_file_name(name))
        refuse(quoted + " has the form of the hidden files phasemap keeps while it writes");
    if (!has_folder) return;
    if (const char* own = own_file_linked_from(name))
        refuse(quoted + " names the same file as " + own);
}

}  // namespace

void check_output_names(const entry_lines& lines) {
    const std::string map = output_name(static_cast<int32_t>(output_id::map));
    const int32_t line = line_of(lines, keyword::output);
    check_output_name(map, "the map file name", line);
    for (int32_t row = 0; row < max_outputs; ++row) {
        const output_kind& kind = output_kinds[row];
        if (kind.ending == nullptr || !run.outputs[row].is_asked) continue;
        const std::string name = output_name(row);
        if (normalised_path(name) == normalised_path(map))
            stop_run(unit_input, line,
                     "the map file name " + quoted_for_message(map) + " ends in " + kind.ending +
                         ", the name " + kind.title + " would take; give the map another ending");
        check_output_name(name, std::string(kind.title) + "'s name", line);
    }
}
