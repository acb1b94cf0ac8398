#include "core/reader/ouvrir_warnings.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "core/label_glyphs.hpp"
#include "core/modules.hpp"
#include "core/reader/surface_table.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace {

constexpr std::size_t shortest_slip = 3;  // shorter first words are never taken for keywords

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = lower(c);
    return result;
}

// Whether two adjacent letters swapped turn `word` into `keyword`: "tmep1", "sruf".
bool is_one_swap_apart(std::string_view word, std::string_view keyword) {
    if (word.size() != keyword.size()) return false;
    std::size_t first = 0;
    while (first < word.size() && word[first] == keyword[first]) ++first;
    return first + 1 < word.size() && word[first] == keyword[first + 1] &&
           word[first + 1] == keyword[first] && word.substr(first + 2) == keyword.substr(first + 2);
}

// Whether one letter inserted, deleted or changed turns `word` into `keyword`.
bool is_one_edit_apart(std::string_view word, std::string_view keyword) {
    const std::size_t shorter = std::min(word.size(), keyword.size());
    std::size_t head = 0;
    while (head < shorter && word[head] == keyword[head]) ++head;
    std::size_t tail = 0;
    while (tail < shorter - head &&
           word[word.size() - 1 - tail] == keyword[keyword.size() - 1 - tail])
        ++tail;
    const std::size_t word_rest = word.size() - head - tail;
    const std::size_t keyword_rest = keyword.size() - head - tail;
    return word_rest + keyword_rest > 0 && word_rest <= 1 && keyword_rest <= 1;
}

// The keyword a first word looks like a slip of: the same letters in another case, one
// letter off, or two adjacent letters swapped.
const keyword_info* keyword_near(std::string_view word) {
    const std::string low = lowered(word);
    if (const keyword_info* info = keyword_of_record(low)) return info;
    for (const keyword_info& info : keywords)
        if (is_one_edit_apart(low, info.word) || is_one_swap_apart(low, info.word)) return &info;
    return nullptr;
}

// Whether the record reads as one more entry of the counted keyword `entry`, all on its own.
void warn_about_one_entry_too_many(std::string_view record, int32_t line, const keyword_info& entry,
                                   int32_t count) {
    if (!record_reads_as(record, entry.entry_items)) return;
    warn_about_input(line, "this looks like " + std::string(entry.entry) + " " +
                               std::to_string(count + 1) + ", but " + std::string(entry.word) +
                               " declares " + std::to_string(count) + " " +
                               (count == 1 ? entry.entry : entry.entries));
}

// "U+00B5", "U+1F600": the code point in hexadecimal, at least four digits.
std::string code_point_name(int32_t code_point) {
    constexpr char hex_digits[] = "0123456789ABCDEF";
    std::string digits;
    for (int32_t rest = code_point; rest > 0 || digits.size() < 4; rest >>= 4)
        digits.insert(digits.begin(), hex_digits[rest & 0xF]);
    return "U+" + digits;
}

// Adds an item to a list "a, b, c" and counts it.
void list_item(std::string& list, int32_t& count, const std::string& item) {
    if (count++ > 0) list += ", ";
    list += item;
}

// "the outputs do not show U+000D, U+0007 as typed" for the characters of a text that no
// output holds as they are (records show them as "?", phase.json and the SVG map as
// U+FFFD, the map escapes them): the controls of ASCII but the tab, and with `beyond_ascii`
// also U+0080 to U+009F, U+2028 and U+2029 (which a label draws as "?" anyway); "" for none.
// "U+000D, '\xC0\xAF'": the characters of `text` that `picks` chooses, by code point, or
// quoted where their bytes are no UTF-8 character; "" for none.
template <typename Picks>
std::string characters_picked(const text40& text, Picks picks) {
    const int32_t length = trimmed_length(text);
    std::string listed;
    int32_t count = 0;
    for (int32_t at = 0, taken = 0; at < length; at += taken) {
        const label_character c = read_label_character(text.data(), length, at);
        taken = c.length;
        if (!picks(c.code_point)) continue;
        list_item(listed, count,
                  c.code_point >= 0 ? code_point_name(c.code_point)
                                    : quoted_for_message(std::string_view(
                                          text.data() + at, static_cast<std::size_t>(taken))));
    }
    return listed;
}

std::string unshown_characters_in(const text40& text, bool beyond_ascii) {
    const std::string listed = characters_picked(text, [beyond_ascii](int32_t code_point) {
        return is_unshown_character(code_point) && (beyond_ascii || code_point < 0x80);
    });
    return listed.empty() ? "" : "the outputs do not show " + listed + " as typed";
}

// One part of the warning: what is wrong with the listed characters, or nothing.
void add_part(std::string& message, const std::string& part) {
    if (part.empty()) return;
    message += message.empty() ? "" : "; ";
    message += part;
}

}  // namespace

void warn_about_undrawn_characters(const text40& text, int32_t line, std::string_view what) {
    const int32_t length = trimmed_length(text);
    std::string without_glyph;
    std::string not_utf8;
    std::string cut_at_end;
    int32_t without_glyph_count = 0;
    int32_t not_utf8_count = 0;
    for (int32_t at = 0, taken = 0; at < length; at += taken) {
        const label_character c = read_label_character(text.data(), length, at);
        taken = c.length;
        if (c.has_glyph) continue;
        const std::string_view bytes(text.data() + at, static_cast<std::size_t>(c.length));
        if (c.code_point >= 0)
            list_item(without_glyph, without_glyph_count, code_point_name(c.code_point));
        else if (c.is_incomplete && at + c.length == static_cast<int32_t>(text.size()))
            cut_at_end = quoted_for_message(bytes) + " at the end of the " +
                         std::to_string(text.size()) + " bytes kept is not a whole character";
        else
            list_item(not_utf8, not_utf8_count, quoted_for_message(bytes));
    }

    std::string message;
    if (without_glyph_count > 0)
        add_part(message, "no glyph in the map's fonts for " + without_glyph);
    if (not_utf8_count > 0)
        add_part(message, not_utf8 + (not_utf8_count == 1 ? " is" : " are") + " not UTF-8");
    add_part(message, cut_at_end);
    if (!message.empty()) message += "; drawn as '?'";
    add_part(message, unshown_characters_in(text, false));
    if (!message.empty()) warn_about_input(line, std::string(what) + ": " + message);
}

void warn_about_name_characters(const text40& name, int32_t line, std::string_view what,
                                std::string_view replacing_outputs) {
    std::string message = unshown_characters_in(name, true);
    if (!replacing_outputs.empty()) {
        // The unshown characters are told about above.
        const std::string replaced = characters_picked(name, [](int32_t code_point) {
            return is_replaced_in_text_outputs(code_point) && !is_unshown_character(code_point);
        });
        if (!replaced.empty())
            add_part(message,
                     std::string(replacing_outputs) + " " +
                         (replacing_outputs.find(" and ") == std::string_view::npos ? "shows "
                                                                                    : "show ") +
                         replaced + " as U+FFFD");
    }
    if (!message.empty()) warn_about_input(line, std::string(what) + ": " + message);
}

void warn_about_comment(std::string_view record, int32_t line, const keyword_info* just_read,
                        int32_t count) {
    std::size_t start = 0;
    const std::string_view word = first_value_of(record, start);
    if (start > 0 && keyword_of_record(record.substr(start)) != nullptr) {
        warn_about_input(line, quoted_for_message(word) +
                                   " is indented, so it is read as a comment; keywords start in "
                                   "column 1");
        return;
    }
    if (word.size() >= shortest_slip && is_letter(word[0])) {
        if (const keyword_info* near = keyword_near(word)) {
            warn_about_input(line, quoted_for_message(word) +
                                       " is read as a comment; did you mean '" +
                                       std::string(near->word) + "'?");
            return;
        }
    }
    if (just_read != nullptr) warn_about_one_entry_too_many(record, line, *just_read, count);
}

void warn_about_unread_values(const read_report& rest) {
    if (rest.text_ends_at_slash) {
        warn_about_input(rest.line, "the text ends at the slash, so the rest of it, " +
                                        quoted_for_message(rest.first_unread) +
                                        ", is not read: quote the whole text");
        return;
    }
    if (rest.values_unread == 0) return;
    const item_kind real[] = {item_kind::real};
    const bool is_note = !rest.follows_comma && !rest.last_is_unquoted_text &&
                         !record_reads_as(rest.first_unread, real);
    if (is_note) return;
    std::string message =
        "this line holds " + std::to_string(int64_t{rest.values_read} + rest.values_unread) +
        " values but only " + std::to_string(rest.values_read) +
        (rest.values_read == 1 ? " is" : " are") + " read; the first left unread is " +
        quoted_for_message(rest.first_unread);
    if (!rest.decimal_comma.empty()) {
        const std::size_t comma = rest.decimal_comma.find(',');
        message += "; decimals are written with a point, and a comma separates two values, so " +
                   quoted_for_message(rest.decimal_comma) + " reads as " +
                   std::string(rest.decimal_comma.substr(0, comma)) + " and " +
                   std::string(rest.decimal_comma.substr(comma + 1));
    }
    if (rest.last_is_unquoted_text)
        message += std::string("; a text without quotes ends at the ") +
                   (rest.follows_comma ? "comma" : "blank") +
                   ", so the rest of it is not read: quote the whole text";
    warn_about_input(rest.line, message);
}

// The text as a message shows it: up to its last whole UTF-8 character, trailing blanks left
// out, with the bytes that are no UTF-8 character as \xNN.
std::string shown_as_utf8(std::string_view text) {
    const int32_t length = trimmed_length(text.data(), static_cast<int32_t>(text.size()));
    std::string shown;
    for (int32_t at = 0, taken = 0; at < length; at += taken) {
        const label_character c = read_label_character(text.data(), length, at);
        taken = c.length;
        if (c.is_incomplete && at + c.length == length) break;
        const std::string_view bytes =
            text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(c.length));
        if (c.code_point >= 0) {
            shown += bytes;
            continue;
        }
        for (const char byte : bytes) append_hex_escape(shown, static_cast<unsigned char>(byte));
    }
    return shown;
}

void warn_about_cut_text(const read_report& report, std::string_view entry) {
    if (report.cut_text.empty()) return;
    const std::string item = report.cut_item != nullptr ? report.cut_item : "a text";
    const std::string what =
        item.starts_with("the ") ? item : "the " + item + " of " + std::string(entry);
    warn_about_input(report.cut_line,
                     what + " is longer than its field of " + std::to_string(report.cut_length) +
                         " bytes and is cut to '" + shown_as_utf8(report.cut_text) +
                         "' (characters outside ASCII take two or three bytes each)");
}

void warn_if_no_surfaces(int32_t surface_count, int32_t stop_line) {
    if (surface_count == 0)
        warn_about_input(stop_line,
                         "no surface was read, so the map will show the frame and axes only");
}

namespace {

// "surface 2 'with H'"
std::string surface_named(int32_t surface) {
    return "surface " + std::to_string(surface + 1) + " " +
           quoted_for_message(trimmed_text(surface_read_at(surface).record.name));
}

// A distance or a value in messages, to three significant digits: "7.25", "0.000412".
std::string three_digits(double value) {
    char text[32];
    return std::string(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 3).ptr);
}

// The surface free energy on `plane` at (x, y): g = a·x + b·y + d.
double energy_at(const surface_plane& plane, double x, double y) {
    return static_cast<double>(plane.a) * x + static_cast<double>(plane.b) * y +
           static_cast<double>(plane.d);
}

}  // namespace

void warn_if_one_surface_everywhere(int32_t bound_line) {
    const double corners[4][2] = {{static_cast<double>(run.x_min), static_cast<double>(run.y_min)},
                                  {static_cast<double>(run.x_max), static_cast<double>(run.y_min)},
                                  {static_cast<double>(run.x_min), static_cast<double>(run.y_max)},
                                  {static_cast<double>(run.x_max), static_cast<double>(run.y_max)}};
    const int32_t n = surfaces_read();
    if (n < 2) return;
    int32_t lowest = 0;
    surface_plane low = surface_read_at(0).plane;
    for (int32_t s = 1; s < n; ++s) {
        const surface_plane plane = surface_read_at(s).plane;
        if (energy_at(plane, corners[0][0], corners[0][1]) <
            energy_at(low, corners[0][0], corners[0][1])) {
            lowest = s;
            low = plane;
        }
    }
    // Every other surface higher at every corner; the distance from a corner to the line where
    // another surface's plane crosses this one's is their energy difference there over the
    // steepness of that difference.
    double distance = INFINITY;
    for (int32_t s = 0; s < n; ++s) {
        if (s == lowest) continue;
        const surface_plane plane = surface_read_at(s).plane;
        const double da = static_cast<double>(plane.a) - static_cast<double>(low.a);
        const double db = static_cast<double>(plane.b) - static_cast<double>(low.b);
        const double steepness = std::sqrt(da * da + db * db);
        for (const auto& corner : corners) {
            const double above =
                energy_at(plane, corner[0], corner[1]) - energy_at(low, corner[0], corner[1]);
            if (!(above > 0.0)) return;
            if (steepness > 0.0) distance = std::fmin(distance, above / steepness);
        }
    }
    const double width = static_cast<double>(run.x_max) - static_cast<double>(run.x_min);
    const double height = static_cast<double>(run.y_max) - static_cast<double>(run.y_min);
    if (!std::isfinite(distance) || !(distance > std::sqrt(width * width + height * height)))
        return;
    warn_about_input(bound_line, surface_named(lowest) +
                                     " is the lowest everywhere in the window, and the nearest "
                                     "boundary of its region lies " +
                                     three_digits(distance) +
                                     " eV beyond it, farther than the window is across: check "
                                     "that the window and the energies are in the same terms "
                                     "(with total energies, x and y are absolute chemical "
                                     "potentials)");
}

void warn_if_negative_area(int32_t surface, int32_t line) {
    warn_about_input(line, surface_named(surface) + " has the negative area " +
                               real_list_text(surface_read_at(surface).record.area) +
                               ", which turns its energy plane over, so its region means nothing");
}
