#include "core/modules.hpp"

#include <cstring>

run_state run;

void reset_run_state() {
    std::memset(&run, 0, sizeof run);
    for (output_record& output : run.outputs) output.name.fill(' ');
    run.map_file_name.fill(' ');
    for (surface_record& surface : run.surfaces) surface.name.fill(' ');
    for (label_record& label : run.labels) label.text.fill(' ');
    run.x_axis_title.fill(' ');
    run.y_axis_title.fill(' ');
}
