// Reading input.txt: free-format statements, the keyword formats, record ends and the
// messages of the run stops.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <string>
#include <tuple>

#include "records/fatal.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

const std::string prefix = "phasemap: input.txt (unit 1), ";

// Opens `content` as unit 1, from a scratch file of the running test.
void open_text(const std::string& content) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string path =
        make_scratch_dir(std::string(info->test_suite_name()) + "_" + info->name()) + "/input.txt";
    write_file(path, content);
    open_input_unit(path.c_str());
}

// Runs `read` and gives the message of its run stop without the file prefix, or "".
template <class Read>
std::string stop_message(Read read) {
    try {
        read();
    } catch (const run_stopped& stopped) {
        return stopped.message.rfind(prefix, 0) == 0 ? stopped.message.substr(prefix.size())
                                                     : stopped.message;
    }
    return "";
}

// One statement on the open unit with items a, b, c of `kinds` ('i' integer, 'r' real, 't'
// text of 4), which start as 9, 9.0 and "####". Gives "a|b|c" (reals in shortest form) or
// the message of the run stop.
std::string read_items(const std::string& kinds) {
    int32_t ints[3] = {9, 9, 9};
    float reals[3] = {9, 9, 9};
    char texts[3][4];
    std::memset(texts, '#', sizeof texts);
    input_item items[3];
    const char* names[3] = {"a", "b", "c"};
    for (std::size_t i = 0; i < kinds.size(); ++i)
        items[i] = kinds[i] == 'i'   ? in_int(ints[i], names[i])
                   : kinds[i] == 'r' ? in_real(reals[i], names[i])
                                     : in_text(texts[i], 4, names[i]);
    std::string message = stop_message([&] {
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

std::string read_items(const std::string& kinds, const std::string& content) {
    open_text(content);
    return read_items(kinds);
}

// Two statements in turn, their results joined.
std::string read_in_turn(const std::string& first_kinds, const std::string& second_kinds) {
    std::string first = read_items(first_kinds);
    return first + read_items(second_kinds);
}

// The keyword of the next record, or the message of the run stop.
std::string keyword_a8() {
    text20 keyword;
    std::string message = stop_message([&] { read_keyword_a8(keyword, "a keyword record"); });
    return message.empty() ? std::string(keyword.data(), 20) : message;
}

// The keyword and count of `record`, or the message of the run stop.
std::string keyword_a6_i20(const std::string& record) {
    open_text(record);
    text20 keyword;
    int32_t count = 0;
    std::string message = stop_message([&] { read_keyword_a6_i20(keyword, count, "the xbound count"); });
    return message.empty() ? std::string(keyword.data(), 20) + std::to_string(count) : message;
}

}  // namespace

// Blanks, tabs, commas with blanks around them and record ends all separate values alike;
// the rest of the last record is skipped.
TEST(ListRead, Separators) {
    for (const char* content : {"1,2", "1 2", "1\n2", "1 , 2", "\t1\t,\t2", "1\n\n\n2\n", "1,\n2", " 1  2 3"})
        EXPECT_EQ(read_items("ii", content), "1|2") << content;
    open_text("1 2 3\n4 5\n");
    EXPECT_EQ(read_in_turn("i", "i"), "14");
}

// Null values keep the item as it was; a slash ends the statement and skips its record.
TEST(ListRead, NullsAndSlash) {
    const std::pair<const char*, const char*> rows[] = {{",5", "9|5"},    {",,", "9|9"},     {"1,,3", "1|9"},
                                                        {"1, ,3", "1|9"}, {"1,\n,3", "1|9"}, {"1 /", "1|9"},
                                                        {"1,/ 2", "1|9"}, {"/ 1 2", "9|9"}};
    for (const auto& [content, expected] : rows) EXPECT_EQ(read_items("ii", content), expected) << content;
    open_text("1 / 2\n7\n");
    EXPECT_EQ(read_in_turn("ii", "i"), "1|97");
}

// r*v gives v to r items of any kind, r* gives r nulls; copies beyond the statement are
// dropped.
TEST(ListRead, RepeatCounts) {
    EXPECT_EQ(read_items("rrr", "3*0.5"), "0.5|0.5|0.5");
    EXPECT_EQ(read_items("iri", "2*7 1"), "7|7|1");
    EXPECT_EQ(read_items("iii", "2*,4"), "9|9|4");
    EXPECT_EQ(read_items("tti", "2*'a b' 5"), "a b |a b |5");
    open_text("9*3 8\n6\n");
    EXPECT_EQ(read_in_turn("ii", "i"), "3|36");
}

// Reals round once, straight from the decimal text to single precision; integers are whole
// 32-bit numbers.
TEST(ListRead, Numbers) {
    // "1.00000005960464477550" lies just above the midpoint of 1 and the next float: rounded
    // through double it would end at 1.
    const std::pair<std::string, const char*> rows[] = {
        {"1.5", "1.5"},          {"7", "7"},         {"-2.", "-2"},       {"+.25", "0.25"},
        {"+4E+2", "400"},        {"1.5-3", "0.0015"}, {"1.5+3", "1500"},  {"2d1", "20"},
        {"2D-1", "0.2"},         {"3.4028235e38", "3.4028235e+38"},       {"1e-40", "1e-40"},
        {"1.00000005960464477550", "1.0000001"},      {"1e-50", "0"},      {"-1e-99999999999999", "-0"},
        {"0e99999999999", "0"},  {"0." + std::string(5000, '0') + "125e5002", "12.5"}};
    for (const auto& [content, expected] : rows) EXPECT_EQ(read_items("r", content), expected) << content;
    EXPECT_EQ(read_items("iii", "+12 -7 007"), "12|-7|7");
    EXPECT_EQ(read_items("ii", "2147483647 -2147483648"), "2147483647|-2147483648");
}

// Quoted texts keep blanks and doubled delimiters; unquoted ones end at a separator.
TEST(ListRead, Texts) {
    const std::pair<std::string, const char*> rows[] = {
        {"ab 8", "ab  |8"},       {"ab/3", "ab  |9"},
        {"'a b' 3", "a b |3"},    {"\"\"\"x\"\"\" 3", "\"x\" |3"},
        {"'it''s',3", "it's|3"},  {"'ab'/", "ab  |9"},
        {"'' 3", "    |3"},       {"O'Br 3", "O'Br|3"},
        {"'abcdef' 3", "abcd|3"}, {"\xC3\xA9 3", "\xC3\xA9  |3"}};
    for (const auto& [content, expected] : rows) EXPECT_EQ(read_items("ti", content), expected) << content;
}

// "(a8)" takes 8 characters and pads to 20; a backspace reads the same record again, and
// the count read there may stand on the next record.
TEST(KeywordRead, A8) {
    open_text("abc\nsurface  3\n\nsurf\n2\nnext\n");
    EXPECT_EQ(keyword_a8(), "abc" + std::string(17, ' '));
    EXPECT_EQ(keyword_a8(), "surface " + std::string(12, ' '));
    backspace_input();
    EXPECT_EQ(read_items("ti"), "surf|3");
    EXPECT_EQ(keyword_a8(), std::string(20, ' '));
    keyword_a8();
    backspace_input();
    EXPECT_EQ(read_items("ti"), "surf|2");
    EXPECT_EQ(input_line_number(), 4);
    EXPECT_EQ(keyword_a8().substr(0, 4), "next");
}

// "(a6,i20)": blanks ignored in columns 7-26, a comma ends the field, later columns unread.
TEST(KeywordRead, A6I20) {
    const std::string blanks(14, ' ');
    EXPECT_EQ(keyword_a6_i20("xbound 1 2\r\n"), "xbound" + blanks + "12");
    EXPECT_EQ(keyword_a6_i20("xbound3, 5"), "xbound" + blanks + "3");
    EXPECT_EQ(keyword_a6_i20("xbound" + std::string(20, ' ') + "5"), "xbound" + blanks + "0");
    EXPECT_EQ(keyword_a6_i20("ybound  - 4\t"), "ybound" + blanks + "-4");
    EXPECT_EQ(keyword_a6_i20("xbo"), "xbo" + std::string(17, ' ') + "0");
    EXPECT_EQ(keyword_a6_i20("xbound 1.5"),
              "line 1: expected an integer in columns 7 to 26 for the xbound count, found ' 1.5'");
    EXPECT_EQ(keyword_a6_i20("xbound -"),
              "line 1: expected an integer in columns 7 to 26 for the xbound count, found ' -'");
}

// CR LF, a lone final CR and a final record without LF all end records.
TEST(Records, LineEnds) {
    EXPECT_EQ(read_items("ii", "1\r\n2\r\n"), "1|2");
    EXPECT_EQ(read_items("t", "ab\r"), "ab  ");
    EXPECT_EQ(read_items("t", "\n\r\nab"), "ab  ");
    EXPECT_EQ(input_line_number(), 1);
    open_text("");
    EXPECT_EQ(input_line_number(), 0);
    EXPECT_EQ(keyword_a8(), "line 1: end of file while reading a keyword record");
}

// A file that cannot be read, or ends inside a statement, stops the run.
TEST(InputErrors, OpenAndEndOfFile) {
    EXPECT_EQ(stop_message([] { open_input_unit("no/such/input.txt"); }),
              "phasemap: input.txt (unit 1): cannot open the file: No such file or directory");
    EXPECT_EQ(stop_message([] { open_input_unit("."); }),
              "phasemap: input.txt (unit 1): cannot open the file: Is a directory");
    // An end of file names the item being read and the line after the last record.
    open_text("8\n");
    EXPECT_EQ(read_in_turn("i", "ii"), "8line 2: end of file while reading a of surface 2");
    EXPECT_EQ(read_items("ii", "1\n\n"), "line 3: end of file while reading b of surface 2");
    EXPECT_EQ(keyword_a6_i20(""), "line 1: end of file while reading the xbound count");
}

// A bad value names the item, the line of the value itself and the value as written, on
// one printable line.
TEST(InputErrors, BadValues) {
    EXPECT_EQ(read_items("ti", "'with\nH' 8"),
              "line 1: unterminated quoted text for a of surface 2, found ''with'");
    EXPECT_EQ(read_items("ti", "with\nH 8"), "line 2: expected an integer for b of surface 2, found 'H'");
    EXPECT_EQ(input_line_number(), 1);
    for (const char* bad : {"1.0", "1e3", "+", "'5'", "2*x", "--1", "1-"})
        EXPECT_EQ(read_items("i", bad),
                  std::string("line 1: expected an integer for a of surface 2, found '") + bad + "'");
    for (const char* bad : {"1e", "1.5-", ".", "inf", "NaN", "1.5x", "1e+-3", "\"1\"", "0x1p3", "1.2.3"})
        EXPECT_EQ(read_items("r", bad),
                  std::string("line 1: expected a real number for a of surface 2, found '") + bad + "'");
    const std::tuple<const char*, std::string, const char*, std::string> rows[] = {
        {"i", "2147483648", "an integer from -2147483648 to 2147483647", "2147483648"},
        {"r", "3.5e38", "a real number within single precision", "3.5e38"},
        {"r", "0*5", "a repeat count from 1 to 2147483647", "0*5"},
        {"t", "'ab'c", "a blank, comma or slash after the closing quote", "'ab'c"},
        {"t", "(ab", "a text (quote a text that begins with '(')", "(ab"},
        {"i", std::string("a\0\x01\xFF", 4), "an integer", "a\\x00\\x01\\xFF"},
        {"i", std::string(100000, '9') + "x", "an integer", std::string(40, '9') + "..."}};
    for (const auto& [kinds, bad, expected, shown] : rows)
        EXPECT_EQ(read_items(kinds, bad),
                  "line 1: expected " + std::string(expected) + " for a of surface 2, found '" + shown + "'");
}
