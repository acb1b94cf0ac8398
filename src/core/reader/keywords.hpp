// The keywords of input.txt, in one table in the order the reader tests them: the word a
// keyword record must begin with, where the count of entries stands, and what one entry
// holds. The reader, its warnings about slips and its bookkeeping of input lines all walk
// this table, so a keyword is added in one place (and one case of the reader's switch).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/modules.hpp"
#include "records/records.hpp"

enum class keyword : int32_t {
    stop,
    bulk,
    bound,
    surf,
    xbound,
    ybound,
    text,
    xaxi,
    yaxi,
    equi,
    equ2,
    temp1,
    temp2,
    shiftx,
    shifty,
    output,
};
constexpr int32_t keyword_count = 16;

// Where a keyword's count of entries stands: nowhere (one entry), after the word in free
// format (on the keyword record or the next), or in columns 7 to 26 of the keyword record.
enum class count_place : int32_t { none, free_format, columns };

struct keyword_info {
    keyword id;
    std::string_view word;
    count_place count;
    // Counted keywords: what one entry holds, and its name in messages ("surface",
    // "surfaces"), for the warning about a record that reads as one entry more.
    std::span<const item_kind> entry_items;
    const char* entry;
    const char* entries;
};

// Every keyword, in the order the reader tests them.
extern const keyword_info keywords[keyword_count];

// The keyword a record names: the first whose word the record begins with; null for none.
const keyword_info* keyword_of_record(std::string_view record);

const keyword_info& info_of(keyword id);

// An entry as messages name it: "the temp1 entry".
std::string entry_name(const keyword_info& info);

// Input lines of entries, for the messages of the checks after "stop": where each keyword's
// entry was read (its last data record; "stop" its own record; 0 when not given), and where
// each label of the text entry begins.
struct entry_lines {
    int32_t of[keyword_count];
    int32_t labels[max_table_entries];
};

inline int32_t& line_of(entry_lines& lines, keyword id) {
    return lines.of[static_cast<int32_t>(id)];
}
inline int32_t line_of(const entry_lines& lines, keyword id) {
    return lines.of[static_cast<int32_t>(id)];
}
