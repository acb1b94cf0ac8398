#include "modules.hpp"

#include <cstring>

run_state run;

void reset_run_state() {
    std::memset(&run, 0, sizeof run);
    run.map_file_name.fill(' ');
    for (surface_record& surface : run.surfaces) surface.name.fill(' ');
    for (label_record& label : run.labels) label.text.fill(' ');
    run.x_axis_title.fill(' ');
    run.y_axis_title.fill(' ');
}

void set_text(char* text, int32_t length, const char* value) {
    int32_t i = 0;
    for (; i < length && value[i] != '\0'; ++i) text[i] = value[i];
    for (; i < length; ++i) text[i] = ' ';
}

int32_t trimmed_length(const char* text, int32_t length) {
    while (length > 0 && text[length - 1] == ' ') --length;
    return length;
}
