#include "ouvrir_warnings.hpp"

#include <cstring>
#include <string>

#include "records/fatal.hpp"

namespace {

// Every keyword, in the order the reader tests them; a keyword matches a record whose first
// characters it is.
constexpr const char* keywords[] = {"stop", "bulk",   "bound", "surf",  "xbound", "ybound", "text",   "xaxi",
                                    "yaxi", "equi",   "equ2",  "temp1", "temp2",  "shiftx", "shifty", "output"};

constexpr std::size_t shortest_slip = 3;  // shorter first words are never taken for keywords

bool is_space(char c) { return c == ' ' || c == '\t'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = lower(c);
    return result;
}

// The keyword the text would be read as, or null.
const char* keyword_starting(std::string_view text) {
    for (const char* keyword : keywords)
        if (text.starts_with(keyword)) return keyword;
    return nullptr;
}

// Whether one letter inserted, deleted or changed turns `word` into `keyword`.
bool is_one_edit_apart(std::string_view word, std::string_view keyword) {
    const std::size_t shorter = std::min(word.size(), keyword.size());
    std::size_t head = 0;
    while (head < shorter && word[head] == keyword[head]) ++head;
    std::size_t tail = 0;
    while (tail < shorter - head && word[word.size() - 1 - tail] == keyword[keyword.size() - 1 - tail]) ++tail;
    const std::size_t word_rest = word.size() - head - tail;
    const std::size_t keyword_rest = keyword.size() - head - tail;
    return word_rest + keyword_rest > 0 && word_rest <= 1 && keyword_rest <= 1;
}

// The keyword a first word looks like a slip of: the same letters in another case, or one
// letter off.
const char* keyword_near(std::string_view word) {
    const std::string low = lowered(word);
    if (const char* keyword = keyword_starting(low)) return keyword;
    for (const char* keyword : keywords)
        if (is_one_edit_apart(low, keyword)) return keyword;
    return nullptr;
}

std::string quoted(std::string_view text) { return quoted_for_message(text); }

// Whether the record reads as one more entry of `entry`, all on its own.
void warn_about_one_entry_too_many(std::string_view record, int32_t line, const counted_entry& entry) {
    if (!record_reads_as(record, entry.items)) return;
    warn_about_input(line, "this looks like " + std::string(entry.entry) + " " + std::to_string(entry.count + 1) +
                               ", but " + entry.keyword + " declares " + std::to_string(entry.count) + " " +
                               (entry.count == 1 ? entry.entry : entry.entries));
}

}  // namespace

void warn_about_comment(std::string_view record, int32_t line, const counted_entry* just_read) {
    std::size_t start = 0;
    while (start < record.size() && is_space(record[start])) ++start;
    std::size_t end = start;
    while (end < record.size() && !is_space(record[end]) && record[end] != ',' && record[end] != '/') ++end;
    const std::string_view word = record.substr(start, end - start);
    if (start > 0 && keyword_starting(record.substr(start)) != nullptr) {
        warn_about_input(line, quoted(word) + " is indented, so it is read as a comment; keywords start in column 1");
        return;
    }
    if (word.size() >= shortest_slip && is_letter(word[0])) {
        if (const char* keyword = keyword_near(word)) {
            warn_about_input(line, quoted(word) + " is read as a comment; did you mean '" + keyword + "'?");
            return;
        }
    }
    if (just_read != nullptr) warn_about_one_entry_too_many(record, line, *just_read);
}

void warn_if_no_surfaces(int32_t surface_count, int32_t stop_line) {
    if (surface_count == 0)
        warn_about_input(stop_line, "no surface was read, so the map will show the frame and axes only");
}
