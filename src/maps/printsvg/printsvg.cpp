// write_svg_map: the SVG document of the page model (maps/page/page.hpp). Geometry is drawn in a
// group that flips page y (PostScript points, y up) into SVG's y down, inside the translation
// that centres the map; texts are placed un-flipped at (x, page_height - y) in the same translated
// group. Each region is filled with its colour from the palette.
#include "maps/printsvg/printsvg.hpp"

#include <string>
#include <string_view>

#include "core/ticks.hpp"
#include "maps/page/page.hpp"
#include "maps/printsvg/svg_text.hpp"
#include "records/records.hpp"

namespace {

void put(std::string_view line) { write_raw_record(unit_svg, line); }

std::string point_text(page_point p) {
    return shortest_real_text(p.x) + "," + shortest_real_text(p.y);
}

void put_line(page_point from, page_point to, std::string_view width, std::string_view dash) {
    std::string line = "<line x1=\"" + shortest_real_text(from.x) + "\" y1=\"" +
                       shortest_real_text(from.y) + "\" x2=\"" + shortest_real_text(to.x) +
                       "\" y2=\"" + shortest_real_text(to.y) + "\" stroke-width=\"" +
                       std::string(width) + "\"";
    if (!dash.empty()) line += " stroke-dasharray=\"" + std::string(dash) + "\"";
    put(line + "/>");
}

void put_regions() {
    for (int32_t i = 0; i < run.page.region_count; ++i) {
        const page_region& region = run.page.regions[i];
        std::string points;
        for (int32_t p = 0; p < corner_count(region); ++p) {
            if (p > 0) points += " ";
            points += point_text(region_corner(region, p));
        }
        const text40& name = run.surfaces[region.surface - 1].name;
        put("<polygon class=\"region\" data-surface=\"" + std::to_string(region.surface) +
            "\" data-name=\"" + xml_escaped(trimmed_text(name)) + "\" fill=\"" +
            std::string(region_palette[region.colour]) + "\" points=\"" + points + "\"/>");
    }
}

void put_frame() {
    const page_point* corners = run.page.frame;
    put("<polygon class=\"frame\" fill=\"none\" stroke-width=\"3\" points=\"" +
        point_text(corners[0]) + " " + point_text(corners[1]) + " " + point_text(corners[2]) + " " +
        point_text(corners[3]) + "\"/>");
}

void put_tick_pair(const tick_pair& strokes, std::string_view width) {
    put_line(strokes.near_from, strokes.near_to, width, "");
    put_line(strokes.far_from, strokes.far_to, width, "");
}

// Ticks go into the flipped group; their numbers are collected for the text group.
void put_axis_ticks(const frame_axis& axis, std::string& numbers) {
    for (tick_walk walk = start_major_ticks(axis); walk.left > 0; step_tick_walk(walk)) {
        const major_tick tick = major_tick_of(axis, walk);
        put_tick_pair(tick.strokes, "3");
        numbers += svg_plain_text(tick.number_start.x, tick.number_start.y, text_size,
                                  tick_number_text(tick.number)) +
                   "\n";
    }
    for (minor_tick_walk walk = start_minor_ticks(axis); walk.left > 0; step_minor_ticks(walk))
        put_tick_pair(minor_tick_of(axis, walk), "1");
}

// Ticks of one scale axis, toward the window, with their 10^{e} labels.
void put_scale_ticks(const scale_axis_place& place, std::string& texts) {
    for (tick_walk walk = start_scale_ticks(place); walk.left > 0; step_tick_walk(walk)) {
        const scale_tick tick = scale_tick_of(place, walk);
        put_line(tick.from, tick.to, "3", "");
        texts += svg_label(tick.label) + "\n";
    }
}

// A scale set: its right and top axes, the caption where they meet and their ticks; the
// second set in grey.
void put_scale_set(const scale_set_layout& set, std::string& texts) {
    put(set.in_grey ? "<g class=\"scale\" stroke=\"#808080\">" : "<g class=\"scale\">");
    texts += set.in_grey ? "<g class=\"scale\" fill=\"#808080\">\n" : "<g class=\"scale\">\n";
    put_line(set.right_from, set.right_to, "3", "");
    put_line(set.top_from, set.top_to, "3", "");
    texts += svg_label(set.caption) + "\n";
    if (set.top.has_ticks) put_scale_ticks(set.top, texts);
    if (set.right.has_ticks) put_scale_ticks(set.right, texts);
    put("</g>");
    texts += "</g>\n";
}

void put_scales(std::string& texts) {
    for (int32_t index = 0; index < run.page.scale_set_count; ++index)
        put_scale_set(run.page.scale_sets[index], texts);
}

void put_guide_lines() {
    for (int32_t i = 0; i < run.page.line_count; ++i) {
        const page_line& line = run.page.lines[i];
        put_line(line.from, line.to, "1", dash_patterns[line.dash]);
    }
}

std::string title_elements() {
    const axis_titles& titles = run.page.titles;
    return svg_plain_text(titles.x_mu.x, titles.x_mu.y, text_size, "\u03BC") + "\n" +
           svg_plain_text(titles.y_mu.x, titles.y_mu.y, text_size, "\u03BC") + "\n" +
           svg_label(titles.x_title) + "\n" + svg_label(titles.y_title);
}

}  // namespace

void write_svg_map() {
    put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    const std::string width = shortest_real_text(page_width);
    const std::string height = shortest_real_text(page_height);
    put("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + width +
        "pt\" height=\"" + height + "pt\" viewBox=\"0 0 " + width + " " + height + "\">");
    put("<rect class=\"background\" x=\"0\" y=\"0\" width=\"" + width + "\" height=\"" + height +
        "\" fill=\"#FFFFFF\"/>");
    put("<g transform=\"translate(" + shortest_real_text(run.page.translation.x) + " " +
        shortest_real_text(-run.page.translation.y) + ")\">");
    put("<g transform=\"matrix(1 0 0 -1 0 " + height + ")\" stroke=\"#000000\" fill=\"none\">");
    put("<g class=\"regions\" stroke=\"#333333\" stroke-width=\"0.5\">");
    put_regions();
    put("</g>");
    put_frame();
    std::string numbers;
    put_axis_ticks(run.page.x_axis, numbers);
    put_axis_ticks(run.page.y_axis, numbers);
    put_scales(numbers);
    put("<g class=\"guides\">");
    put_guide_lines();
    put("</g>");
    put("</g>");
    put("<g class=\"texts\" font-family=\"Times, 'Times New Roman', serif\" fill=\"#000000\">");
    write_text_records(unit_svg, numbers);
    write_text_records(unit_svg, title_elements());
    for (int32_t i = 0; i < run.page.label_count; ++i) put(svg_label(run.page.labels[i]));
    put("</g>");
    put("</g>");
    put("</svg>");
}
