#include "core/reader/surface_table.hpp"

#include <algorithm>

#include "core/modules.hpp"

namespace {

std::vector<surface_read>* surface_sink = nullptr;  // set_surface_sink

surface_read blank_surface() {
    surface_read blank{};
    blank.record.name.fill(' ');
    return blank;
}

}  // namespace

void set_surface_sink(std::vector<surface_read>* sink) { surface_sink = sink; }

bool has_surface_sink() { return surface_sink != nullptr; }

int32_t surfaces_read() {
    return surface_sink != nullptr ? static_cast<int32_t>(surface_sink->size()) : run.surface_count;
}

surface_read surface_read_at(int32_t index) {
    if (surface_sink != nullptr) return (*surface_sink)[static_cast<std::size_t>(index)];
    return {run.surfaces[index],
            run.surface_lines[index],
            {run.plane_a[index], run.plane_b[index], run.plane_d[index]}};
}

void begin_surface_entry(int32_t count) { run.surface_count = std::min(count, max_plane_surfaces); }

surface_record& surface_to_read(int32_t index) {
    if (index < max_plane_surfaces) return run.surfaces[index];
    // Records are read one after another, so the sink grows by one at most: never beyond the
    // records the input holds, whatever count it declares.
    const auto at = static_cast<std::size_t>(index);
    while (surface_sink->size() <= at) surface_sink->push_back(blank_surface());
    return (*surface_sink)[at].record;
}

void keep_surface(int32_t index, int32_t line, const surface_plane& plane) {
    if (index < max_plane_surfaces) {
        run.surface_lines[index] = line;
        run.plane_a[index] = plane.a;
        run.plane_b[index] = plane.b;
        run.plane_c[index] = -1.0f;
        run.plane_d[index] = plane.d;
    }
    if (surface_sink == nullptr) return;
    const auto at = static_cast<std::size_t>(index);
    if (surface_sink->size() <= at) surface_sink->push_back(blank_surface());
    surface_read& kept = (*surface_sink)[at];
    if (index < max_plane_surfaces) kept.record = run.surfaces[index];
    kept.line = line;
    kept.plane = plane;
}

void end_surface_entry(int32_t count) {
    if (surface_sink != nullptr) surface_sink->resize(static_cast<std::size_t>(count));
}
