// Reading input.txt: free-format statements, the keyword formats, record ends and the
// messages of the run stops.
#include <gtest/gtest.h>

#include <charconv>
#include <functional>
#include <string>
#include <tuple>

#include "records/fatal.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

// Opens `content` as unit 1, from a scratch file of the running test.
void open_text(const std::string& content) {
    const std::string path = test_scratch_dir() + "/input.txt";
    write_file(path, content);
    open_input_unit(path.c_str());
}

// The message of the run stop that `read` causes without the file and unit, or "".
std::string read_stop(const std::function<void()>& read) {
    const std::string message = stop_message(read), unit = " (unit 1), ";
    const std::size_t at = message.find(unit);
    return at == std::string::npos ? message : message.substr(at + unit.size());
}

// One statement with items a, b, c of `kinds` ('i' integer, 'r' real, 't' text of 4), which
// start as 9, 9.0 and "####". Gives "a|b|c" (reals in shortest form) or the stop's message.
std::string read_statement(const std::string& kinds) {
    int32_t ints[3] = {9, 9, 9};
    float reals[3] = {9, 9, 9};
    char texts[3][5] = {"####", "####", "####"};
    input_item items[3];
    const char* names[3] = {"a", "b", "c"};
    for (std::size_t i = 0; i < kinds.size(); ++i)
        items[i] = kinds[i] == 'i'   ? in_int(ints[i], names[i])
                   : kinds[i] == 'r' ? in_real(reals[i], names[i])
                                     : in_text(texts[i], 4, names[i]);
    std::string message = read_stop([&] {
        if (kinds.size() == 1) read_list("surface 2", {items[0]});
        if (kinds.size() == 2) read_list("surface 2", {items[0], items[1]});
        if (kinds.size() == 3) read_list("surface 2", {items[0], items[1], items[2]});
    });
    std::string shown;
    for (std::size_t i = 0; i < kinds.size() && message.empty(); ++i) {
        char real[32];
        shown += i > 0 ? "|" : "";
        if (kinds[i] == 'i') shown += std::to_string(ints[i]);
        if (kinds[i] == 'r') shown.append(real, std::to_chars(real, real + 32, reals[i]).ptr);
        if (kinds[i] == 't') shown.append(texts[i], 4);
    }
    return message.empty() ? shown : message;
}

// Reads `content` with the statements of `kinds` ("ii i" is two), results joined by blanks.
std::string read_items(const std::string& kinds, const std::string& content) {
    open_text(content);
    std::string result;
    for (std::size_t start = 0, end = 0; start <= kinds.size(); start = end + 1) {
        end = std::min(kinds.find(' ', start), kinds.size());
        if (start > 0) result += ' ';
        result += read_statement(kinds.substr(start, end - start));
    }
    return result;
}

using read_rows = std::initializer_list<std::tuple<const char*, std::string, const char*>>;

void expect_reads(read_rows rows) {
    for (const auto& [kinds, content, expected] : rows)
        EXPECT_EQ(read_items(kinds, content), expected) << content;
}

// The keyword of the next record, or the message of the run stop.
std::string keyword_a8() {
    text20 keyword;
    std::string message = read_stop([&] { read_keyword_a8(keyword, "a keyword record"); });
    return message.empty() ? std::string(keyword.data(), 20) : message;
}

}  // namespace

// Blanks, tabs, commas with blanks around them and record ends (LF, CR LF or a final lone
// CR) all separate values alike, and the rest of the last record is skipped. Null values
// keep the item as it was; a slash ends the statement and skips its record. r*v gives v to r
// items of any kind, r* gives r nulls, and copies beyond the statement are dropped.
TEST(ListRead, SeparatorsNullsAndRepeats) {
    expect_reads({
        {"ii", "1 , 2", "1|2"},
        {"ii", "1\r\n2", "1|2"},
        {"t", "ab\r", "ab  "},
        {"i i", "1 2 3\n4 5\n", "1 4"},
        {"ii", ",5", "9|5"},
        {"ii", "1, ,3", "1|9"},
        {"ii", "1,/ 2", "1|9"},
        {"ii i", "1 / 2\n7\n", "1|9 7"},
        {"iri", "2*7 1", "7|7|1"},
        {"tti", "2*'a b' 5", "a b |a b |5"},
        {"ii i", "9*3 8\n6\n", "3|3 6"},
    });
}

// Reals round once, straight from the decimal text to single precision ("1.0000000596...550"
// lies just above the midpoint of 1 and the next float: rounded through double it would end
// at 1); integers are whole 32-bit numbers. Quoted texts keep blanks and doubled delimiters,
// unquoted ones end at a separator; both are cut or padded to the item's length.
TEST(ListRead, NumbersAndTexts) {
    expect_reads({
        {"r", "1.5-3", "0.0015"},
        {"r", "2d1", "20"},
        {"r", "1e-40", "1e-40"},
        {"r", "3.4028235e38", "3.4028235e+38"},
        {"r", "1.00000005960464477550", "1.0000001"},
        {"r", "1e-50", "0"},
        {"r", "-1e-99999999999999", "-0"},
        {"r", "0." + std::string(5000, '0') + "125e5002", "12.5"},
        {"ii", "2147483647 -2147483648", "2147483647|-2147483648"},
        {"ti", "ab/3", "ab  |9"},
        {"ti", "'a b' 3", "a b |3"},
        {"ti", "'it''s',3", "it's|3"},
        {"ti", "O'Br 3", "O'Br|3"},
        {"ti", "\"\"\"x\"\"\" 3", "\"x\" |3"},
        {"ti", "\xC3\xA9 3", "\xC3\xA9  |3"},
    });
}

// "(a6,i20)": blanks ignored in columns 7-26, a comma ends the field, later columns unread
// (a count beyond column 26 is the golden case reader-guide-count-columns).
TEST(KeywordRead, A6I20) {
    const std::string blanks(14, ' ');
    const std::string bad =
        "line 1: expected an integer in columns 7 to 26 for the xbound count, found '";
    const std::pair<std::string, std::string> rows[] = {
        {"xbound3, 5", "xbound" + blanks + "3"},
        {"ybound  - 4\t", "ybound" + blanks + "-4"},
        {"xbo", "xbo" + std::string(17, ' ') + "0"},
        {"xbound 1.5", bad + " 1.5'"},
        {"xbound -", bad + " -'"},
        {"", "line 1: end of file while reading the xbound count"},
    };
    for (const auto& [record, expected] : rows) {
        open_text(record);
        text20 keyword;
        int32_t count = 0;
        std::string message =
            read_stop([&] { read_keyword_a6_i20(keyword, count, "the xbound count"); });
        EXPECT_EQ(
            message.empty() ? std::string(keyword.data(), 20) + std::to_string(count) : message,
            expected);
    }
}

// A file with CR-only line ends, or one that ends inside a statement, stops the run; an end
// of file names the item being read and the line after the last record.
TEST(InputErrors, OpenAndEndOfFile) {
    EXPECT_TRUE(read_stop([] { open_text("bulk\r1 2\r"); })
                    .ends_with("input.txt (unit 1): its line ends are CR only; save it with LF or "
                               "CR LF line ends"));
    EXPECT_EQ(read_items("i ii", "8\n"), "8 line 2: end of file while reading a of surface 2");
    EXPECT_EQ(read_items("ii", "1\n\n"), "line 3: end of file while reading b of surface 2");
    open_text("");
    EXPECT_EQ(input_line_number(), 0);
    EXPECT_EQ(keyword_a8(), "line 1: end of file while reading a keyword record");
}

// A bad value names the item, its own line and the value as written, on one printable line.
TEST(InputErrors, BadValues) {
    EXPECT_EQ(read_items("ti", "'with\nH' 8"),
              "line 1: unterminated quoted text for a of surface 2, found ''with'");
    EXPECT_EQ(read_items("ti", "\nwith\nH 8"),
              "line 3: expected an integer for b of surface 2, found 'H'");
    EXPECT_EQ(input_line_number(), 1);  // the statement began at the empty first record
    const std::tuple<const char*, std::string, const char*, std::string> rows[] = {
        {"i", "2147483648", "an integer from -2147483648 to 2147483647", ""},
        {"r", "3.5e38", "a real number within single precision", ""},
        {"r", "0*5", "a repeat count from 1 to 2147483647", ""},
        {"t", "'ab'c", "a blank, comma or slash after the closing quote", ""},
        {"t", "(ab", "a text (quote a text that begins with '(')", ""},
        {"i", std::string("a\0\x01\xFF", 4), "an integer", "a\\x00\\x01\\xFF"},
        {"i", std::string(100000, '9') + "x", "an integer", std::string(40, '9') + "..."}};
    for (const auto& [kinds, bad, expected, shown] : rows)
        EXPECT_EQ(read_items(kinds, bad), "line 1: expected " + std::string(expected) +
                                              " for a of surface 2, found '" +
                                              (shown.empty() ? bad : shown) + "'");
    for (const char* bad : {"1.0", "+", "'5'", "2*x", "1-"})
        EXPECT_EQ(
            read_items("i", bad),
            std::string("line 1: expected an integer for a of surface 2, found '") + bad + "'");
    for (const char* bad : {"1e", "1.5-", ".", "inf", "NaN", "1e+-3", "0x1p3", "1.2.3"})
        EXPECT_EQ(
            read_items("r", bad),
            std::string("line 1: expected a real number for a of surface 2, found '") + bad + "'");
}
