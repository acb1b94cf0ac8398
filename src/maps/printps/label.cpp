// write_label: a text with ^{superscript}, _{subscript} and stacked ^{..}_{..} markup,
// written segment by segment, each raised or lowered from the baseline and set in a smaller
// size, with a trace of every segment after the first in log.out. A segment is shown in runs
// of one font each: Times-Roman, its Latin-1 copy or Symbol, whatever the characters need.
#include <cfloat>
#include <cmath>
#include <string_view>

#include "core/label_glyphs.hpp"
#include "maps/page/page.hpp"
#include "maps/printps/internals.hpp"
#include "maps/printps/label_scan.hpp"
#include "maps/printps/printps.hpp"
#include "records/records.hpp"

namespace {

// The font size a Times-Roman record may carry: a size of 0 would make a singular font
// matrix, and one below the smallest normal single (1.17549435E-38) one that PostScript
// cannot invert, so such sizes are written as 1.
float printable_font_size(float size) { return std::fabs(size) < FLT_MIN ? 1.0f : size; }

// Every map record of a label goes through the layer that never cuts a PostScript string
// or operator word.
void write_label_record(std::initializer_list<record_item> items) {
    write_list_postscript(unit_map, items);
}

// The font a run is shown in, as its findfont words.
std::string_view findfont_words(glyph_font font) {
    switch (font) {
        case glyph_font::times_latin1: return "/Times-Roman-Latin1 findfont";
        case glyph_font::symbol: return "/Symbol findfont";
        case glyph_font::times_roman: break;
    }
    return "/Times-Roman findfont";
}

void write_font_record(glyph_font font, float size) {
    write_label_record({item_text(findfont_words(font)), item_real(printable_font_size(size)),
                        item_text(" scalefont setfont")});
}

// What closes the string of run k of n: a first member of a stacked pair adds up the widths
// of its runs and leaves their negated sum for the move back to where it began.
std::string_view show_words(int32_t k, int32_t n, bool is_first_of_pair) {
    if (!is_first_of_pair) return ")  show";
    if (n == 1) return ")  STxt 0 exch sub";
    if (k == 0) return ")  STxt";
    return k + 1 < n ? ")  STxt add" : ")  STxt add 0 exch sub";
}

void write_run_record(const segment_runs& runs, int32_t k, bool is_first_of_pair) {
    const glyph_run& shown = runs.run[k];
    write_label_record({item_text("("), item_text(shown.body, shown.length),
                        item_text(show_words(k, runs.count, is_first_of_pair))});
}

// The runs after the first, each in its own font: the font record, then the string.
void write_later_runs(const segment_runs& runs, float size, bool is_first_of_pair) {
    for (int32_t k = 1; k < runs.count; ++k) {
        write_font_record(runs.run[k].font, size);
        write_run_record(runs, k, is_first_of_pair);
    }
}

// The font and size in effect after a segment: those of its last run.
struct font_in_effect {
    glyph_font font;
    float size;
};

// Records of segment j of `text`, raised or lowered. A first member of a stacked pair shows
// its text with STxt and moves back by its width, so the second member starts where it
// began.
font_in_effect write_segment(const page_text& text, int32_t j) {
    const label_segment& segment = text.segments[j];
    const bool is_first_of_pair = segment.role == pair_role::first;
    const segment_runs runs = runs_of_segment(segment_text(text, j));
    write_label_record({item_int(0), item_real(segment.rise), item_text(" rmoveto")});
    write_font_record(runs.run[0].font, segment.size);
    write_run_record(runs, 0, is_first_of_pair);
    write_later_runs(runs, segment.size, is_first_of_pair);
    if (is_first_of_pair)
        write_label_record({item_real(-segment.rise), item_text(" rmoveto")});
    else
        write_label_record({item_int(0), item_real(-segment.rise), item_text(" rmoveto")});
    return {runs.run[runs.count - 1].font, segment.size};
}

}  // namespace

void write_page_text(const page_text& text) {
    // The first segment starts at the text's start on the baseline in the full size.
    const segment_runs first = runs_of_segment(segment_text(text, 0));
    write_font_record(first.run[0].font, text.size);
    write_label_record({item_real(text.start.x), item_real(text.start.y), item_text(" M  ("),
                        item_text(first.run[0].body, first.run[0].length), item_text(")  show")});
    write_later_runs(first, text.size, false);
    font_in_effect font{first.run[first.count - 1].font, text.size};

    for (int32_t j = 1; j < text.segment_count; ++j) {
        write_list(unit_log, {item_int(j + 1), item_text("  "), item_text(segment_text(text, j)),
                              item_text("  "), item_int(text.segments[j].level)});
        write_list(unit_log, {});
        font = write_segment(text, j);
    }
    // A text leaves Times-Roman in effect, at the size of its last segment.
    if (font.font != glyph_font::times_roman) write_font_record(glyph_font::times_roman, font.size);
    write_label_record({item_text("N")});
}

void write_label(float x, float y, float size, const text40& text) {
    write_page_text(place_text({x, y}, size, text));
}
