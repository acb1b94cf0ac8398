// svg_map_text: the SVG document of the page model (maps/page/page.hpp), cut to the part of the
// page the drawing covers. Geometry is drawn in a group that flips page y (PostScript points,
// y up) into SVG's y down, inside the translation that centres the map; texts are placed
// un-flipped at (x, page_height - y) in the same translated group. Each region is filled with
// its colour from the palette.
#include "maps/printsvg/printsvg.hpp"

#include <string>
#include <string_view>

#include "core/ticks.hpp"
#include "maps/page/page.hpp"
#include "maps/printsvg/svg_text.hpp"
#include "records/records.hpp"

namespace {

void put(std::string& out, std::string_view line) {
    out += line;
    out += '\n';
}

std::string point_text(page_point p) {
    return shortest_real_text(p.x) + "," + shortest_real_text(p.y);
}

void put_line(std::string& out, page_point from, page_point to, std::string_view width,
              std::string_view dash) {
    std::string line = "<line x1=\"" + shortest_real_text(from.x) + "\" y1=\"" +
                       shortest_real_text(from.y) + "\" x2=\"" + shortest_real_text(to.x) +
                       "\" y2=\"" + shortest_real_text(to.y) + "\" stroke-width=\"" +
                       std::string(width) + "\"";
    if (!dash.empty()) line += " stroke-dasharray=\"" + std::string(dash) + "\"";
    put(out, line + "/>");
}

void put_regions(std::string& out, const svg_regions& regions) {
    for (int32_t i = 0; i < regions.count; ++i) {
        const page_region& region = regions.regions[i];
        std::string points;
        for (int32_t p = 0; p < region.corner_count; ++p) {
            if (p > 0) points += " ";
            points += point_text(regions.corners[region.first_corner + p]);
        }
        put(out, "<polygon class=\"region\" data-surface=\"" + std::to_string(region.surface) +
                     "\" data-name=\"" + xml_escaped(regions.names[i]) + "\" fill=\"" +
                     std::string(region_palette[region.colour]) + "\" points=\"" + points + "\"/>");
    }
}

void put_frame(std::string& out) {
    const page_point* corners = run.page.frame;
    put(out, "<polygon class=\"frame\" fill=\"none\" stroke-width=\"3\" points=\"" +
                 point_text(corners[0]) + " " + point_text(corners[1]) + " " +
                 point_text(corners[2]) + " " + point_text(corners[3]) + "\"/>");
}

void put_tick_pair(std::string& out, const tick_pair& strokes, std::string_view width) {
    put_line(out, strokes.near_from, strokes.near_to, width, "");
    put_line(out, strokes.far_from, strokes.far_to, width, "");
}

// Ticks go into the flipped group; their numbers are collected for the text group.
void put_axis_ticks(std::string& out, const frame_axis& axis, std::string& numbers) {
    for (tick_walk walk = start_major_ticks(axis); walk.left > 0; step_tick_walk(walk)) {
        const major_tick tick = major_tick_of(axis, walk);
        put_tick_pair(out, tick.strokes, "3");
        numbers += svg_plain_text(tick.number_start.x, tick.number_start.y, text_size,
                                  tick_number_text(tick.number)) +
                   "\n";
    }
    for (minor_tick_walk walk = start_minor_ticks(axis); walk.left > 0; step_minor_ticks(walk))
        put_tick_pair(out, minor_tick_of(axis, walk), "1");
}

// Ticks of one scale axis, toward the window, with their 10^{e} labels.
void put_scale_ticks(std::string& out, const scale_axis_place& place, std::string& texts) {
    for (tick_walk walk = start_scale_ticks(place); walk.left > 0; step_tick_walk(walk)) {
        const scale_tick tick = scale_tick_of(place, walk);
        put_line(out, tick.from, tick.to, "3", "");
        texts += svg_label(tick.label) + "\n";
    }
}

// A scale set: its right and top axes, the caption where they meet and their ticks; the
// second set in grey.
void put_scale_set(std::string& out, const scale_set_layout& set, std::string& texts) {
    put(out, set.in_grey ? "<g class=\"scale\" stroke=\"#808080\">" : "<g class=\"scale\">");
    texts += set.in_grey ? "<g class=\"scale\" fill=\"#808080\">\n" : "<g class=\"scale\">\n";
    put_line(out, set.right_from, set.right_to, "3", "");
    put_line(out, set.top_from, set.top_to, "3", "");
    texts += svg_label(set.caption) + "\n";
    if (set.top.has_ticks) put_scale_ticks(out, set.top, texts);
    if (set.right.has_ticks) put_scale_ticks(out, set.right, texts);
    put(out, "</g>");
    texts += "</g>\n";
}

void put_scales(std::string& out, std::string& texts) {
    for (int32_t index = 0; index < run.page.scale_set_count; ++index)
        put_scale_set(out, run.page.scale_sets[index], texts);
}

void put_guide_lines(std::string& out) {
    for (int32_t i = 0; i < run.page.line_count; ++i) {
        const page_line& line = run.page.lines[i];
        put_line(out, line.from, line.to, "1", dash_patterns[line.dash]);
    }
}

// A title's symbol: the mu, and for a Delta mu the Delta ending where the mu starts.
std::string symbol_elements(title_symbol symbol, page_point mu) {
    if (symbol == title_symbol::none) return "";
    const std::string delta = symbol == title_symbol::delta_mu
                                  ? svg_plain_text_ending(mu.x, mu.y, text_size, "\u0394") + "\n"
                                  : "";
    return delta + svg_plain_text(mu.x, mu.y, text_size, "\u03BC") + "\n";
}

std::string title_elements() {
    const axis_titles& titles = run.page.titles;
    return symbol_elements(titles.symbol, titles.x_mu) +
           symbol_elements(titles.symbol, titles.y_mu) + svg_label(titles.x_title) + "\n" +
           svg_label(titles.y_title) + "\n";
}

// The root element and the white background, over the part of the page the drawing covers.
void put_view(std::string& out) {
    const page_box box = drawing_box();
    const std::string view[4] = {
        shortest_real_text(box.left), shortest_real_text(page_height - box.top),
        shortest_real_text(box.right - box.left), shortest_real_text(box.top - box.bottom)};
    put(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + view[2] +
                 "pt\" height=\"" + view[3] + "pt\" viewBox=\"" + view[0] + " " + view[1] + " " +
                 view[2] + " " + view[3] + "\">");
    put(out, "<rect class=\"background\" x=\"" + view[0] + "\" y=\"" + view[1] + "\" width=\"" +
                 view[2] + "\" height=\"" + view[3] + "\" fill=\"#FFFFFF\"/>");
}

}  // namespace

std::string svg_map_text(const svg_regions& regions) {
    std::string out;
    put(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    put_view(out);
    put(out, "<g transform=\"translate(" + shortest_real_text(run.page.translation.x) + " " +
                 shortest_real_text(-run.page.translation.y) + ")\">");
    put(out, "<g transform=\"matrix(1 0 0 -1 0 " + shortest_real_text(page_height) +
                 ")\" stroke=\"#000000\" fill=\"none\">");
    put(out, "<g class=\"regions\" stroke=\"#333333\" stroke-width=\"0.5\">");
    put_regions(out, regions);
    put(out, "</g>");
    put_frame(out);
    std::string texts;
    put_axis_ticks(out, run.page.x_axis, texts);
    put_axis_ticks(out, run.page.y_axis, texts);
    put_scales(out, texts);
    put(out, "<g class=\"guides\">");
    put_guide_lines(out);
    put(out, "</g>");
    put(out, "</g>");
    put(out,
        "<g class=\"texts\" font-family=\"Times, 'Times New Roman', serif\" fill=\"#000000\">");
    out += texts;
    out += title_elements();
    for (int32_t i = 0; i < run.page.label_count; ++i) put(out, svg_label(run.page.labels[i]));
    put(out, "</g>");
    put(out, "</g>");
    put(out, "</svg>");
    return out;
}

std::string run_svg_map() {
    const page_layout& page = run.page;
    std::string_view names[max_surfaces];
    for (int32_t i = 0; i < page.region_count; ++i)
        names[i] = trimmed_view(run.surfaces[page.regions[i].surface - 1].name);
    return svg_map_text({page.region_count, page.regions, page.region_corners, names});
}

void write_svg_map() { write_text_records(unit_svg, run_svg_map()); }
