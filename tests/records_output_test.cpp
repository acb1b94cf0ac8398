// Output records byte for byte: list-directed layout and splitting, the PostScript-aware
// list statement, formatted and internal writes, and the output units themselves.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/run_guards.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

using items = std::initializer_list<record_item>;

std::string b(int count) { return std::string(static_cast<std::size_t>(count), ' '); }

// The records of `text` (separated by '\n'), each ended with CR LF.
std::string records(const std::string& text) {
    std::string bytes;
    for (char c : text) bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return bytes + "\r\n";
}

// The bytes that `write` leaves on unit 3, opened on a scratch file and committed.
std::string written(const std::function<void()>& write) {
    const std::string path = test_scratch_dir() + "/unit.ps";
    open_output_unit(unit_map, path.c_str());
    write();
    commit_output_units({unit_map});
    close_all_units();
    return read_file(path);
}

std::string list_bytes(items list) {
    return written([&] { write_list(unit_map, list); });
}
std::string postscript_bytes(items list) {
    return written([&] { write_list_postscript(unit_map, list); });
}
std::string formatted_bytes(std::string_view format, items list) {
    return written([&] { write_formatted(unit_map, format, list); });
}

// A map label's record: x, y, " M  (", a string of n characters, ")  show"; and its start.
std::string label_bytes(int n) {
    return postscript_bytes({item_real(415.0f), item_real(170.0f), item_text(" M  ("),
                             item_text(std::string(n, 's')), item_text(")  show")});
}
std::string label_start(int n) {
    return b(6) + "415.000000" + b(6) + "170.000000 M  (" + std::string(n, 's');
}

// Each row holds the bytes a statement wrote and the records expected of it.
void expect_rows(std::initializer_list<std::pair<std::string, std::string>> rows) {
    int number = 0;
    for (const auto& [actual, expected] : rows)
        EXPECT_EQ(actual, records(expected)) << "row " << ++number;
}

std::string internal_text(std::string_view format, items list) {
    text40 buffer;
    buffer.fill('#');
    write_internal(buffer, format, list);
    return std::string(buffer.data(), buffer.size());
}

}  // namespace

// A leading blank; integers right-justified in 11 columns and reals in 15, one more after a
// number; texts straight after the item before them, a fixed text with its trailing blanks
// (a text then an integer, and a real then a text, are in every golden log's echo).
// 79 columns after the leading blank: a number that no longer fits starts the next record
// as its bare field; a text is cut at the room left and goes on after a leading blank, and a
// text of exactly the room left ("less than room" is strict) leaves a record of one blank.
TEST(ListWrite, LayoutAndSplitting) {
    text40 name;
    set_text(name, "Ga-rich (2x4)");
    const record_item one = item_real(1.0f);
    const std::string a78(78, 'a'), two_reals = b(8) + "1.000000" + b(8) + "1.000000";
    expect_rows({
        {list_bytes({item_int(-2147483647 - 1), item_int(0)}), " -2147483648" + b(11) + "0"},
        {list_bytes({item_real(0.5f), item_real(-3.0f)}),
         b(4) + "5.000000E-01" + b(7) + "-3.000000"},
        {list_bytes({item_text(name), item_int(7)}), " Ga-rich (2x4)" + b(37) + "7"},
        {list_bytes({one, one, one, one, one, one}), two_reals + two_reals + "\n" + two_reals},
        {list_bytes({item_text(a78)}), " " + a78},
        {list_bytes({item_text(a78 + "b")}), " " + a78 + "b\n "},
        {list_bytes({item_text(a78 + "b"), item_int(5)}), " " + a78 + "b\n" + b(11) + "5"},
        {list_bytes({item_int(1), item_text(a78), item_int(2)}),
         b(11) + "1" + a78.substr(0, 68) + "\n " + a78.substr(68) + b(10) + "2"},
    });
}

// The cut never falls inside a string "(...)" (nested and escaped parentheses included) or a
// word: it moves back to the last safe place in the text item, stays where write_list puts
// it when that is already safe, or else moves on to the next safe place, in a later item if
// need be; an unclosed string or a word longer than a record runs on to its end.
TEST(PostscriptList, SafeCuts) {
    const std::string nested = "a(b\\)c)d" + std::string(40, 'e'),
                      open_string = "(" + std::string(90, 'u');
    std::string words;
    while (words.size() < 90) words += "moveto ";
    expect_rows({
        {label_bytes(36), label_start(36) + ")  show\n "},
        {label_bytes(37), label_start(37) + ")  \n show"},
        {label_bytes(60), label_start(60) + ")\n   show"},
        {postscript_bytes({item_real(1.0f), item_real(2.0f), item_text(" M  ("), item_text(nested),
                           item_text(") show")}),
         b(8) + "1.000000" + b(8) + "2.000000 M  (" + nested + ")\n  show"},
        {postscript_bytes({item_text(words)}),
         " " + words.substr(0, 77) + "\n " + words.substr(77)},
        {postscript_bytes({item_text(open_string), item_int(4)}),
         " " + open_string + "\n" + b(11) + "4"},
    });
}

// Formats in either case with blanks and repeat counts; Aw pads or keeps the left part, Iw and
// Fw.d fill with asterisks on overflow, a formatted record has no leading blank of its own,
// the items may end before the format does, and blanks after the last item are still written.
TEST(Formatted, Descriptors) {
    expect_rows({
        {formatted_bytes("(1x,2f7.2,a4,i4,a4)",
                         {item_real(209.0f), item_real(80.0f), item_text(" M ("), item_int(-2),
                          item_text(") SN")}),
         "  209.00  80.00 M (  -2) SN"},
        {formatted_bytes(" ( 1X , 2F7.2 ) ", {item_real(1.0f), item_real(-0.5f)}),
         "    1.00   -.50"},
        {formatted_bytes("(i3,f5.1)", {item_int(-100), item_real(1234.0f)}), "********"},
        {formatted_bytes("(i^,2x)", {item_int(-42, 5)}), "  -42  "},
    });
}

// Internal writes fill the 40-character buffer from its start and blank the rest, cutting a
// longer record at its end; I^ takes its width at run time (the number's own width when that
// is zero or less) and a width beyond any record, or a bad format, stops the run.
TEST(Internal, RuntimeWidths) {
    const std::pair<std::string, std::string> rows[] = {
        {internal_text("(A4,I^,A1)", {item_text("10^{"), item_int(-5, 2), item_text("}")}),
         "10^{-5}"},
        {internal_text("(A4,I^,A1)", {item_text("10^{"), item_int(-12, 2), item_text("}")}),
         "10^{**}"},
        {internal_text("(I^,1X,A1)", {item_int(-7, 0), item_text("K")}), "-7 K"},
        {internal_text("(a2,a)", {item_text("ab"), item_text(std::string(50, 'z'))}),
         "ab" + std::string(38, 'z')},
    };
    for (const auto& [actual, expected] : rows)
        EXPECT_EQ(actual, expected + b(40 - static_cast<int>(expected.size())));
    EXPECT_NE(stop_message([] {
                  internal_text("(I^)", {item_int(1, 5000)});
              }).find("an I^ field width of 5000 is too wide"),
              std::string::npos);
    EXPECT_THROW(internal_text("(x4)", {item_int(1)}), run_stopped);
}

// A unit writes a temporary beside its file, created with the permissions of a plain file,
// and replaces the file only when committed, also a symbolic link standing at its name
// (which is replaced, not followed).
TEST(OutputUnit, ReplacesItsFileOnlyWhenCommitted) {
    const std::string dir = test_scratch_dir(), path = dir + "/unit.ps",
                      temporary = dir + "/.unit.ps.partial-" + std::to_string(getpid());
    write_file(path, "old\r\n");
    const mode_t mask = umask(027);
    open_output_unit(unit_map, path.c_str());
    umask(mask);
    write_raw_record(unit_map, "first");
    flush_output_units();
    struct stat info {};
    ASSERT_EQ(stat(temporary.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(read_file(temporary), records("first"));
    EXPECT_EQ(read_file(path), "old\r\n");
    commit_output_units({unit_map});
    EXPECT_EQ(snapshot_folder(dir), (folder_state{{"unit.ps", records("first")}}));

    write_file(dir + "/target", "kept");
    ASSERT_EQ(symlink("target", (dir + "/link.ps").c_str()), 0);
    open_output_unit(unit_map, (dir + "/link.ps").c_str());
    write_raw_record(unit_map, "new");
    commit_output_units({unit_map});
    EXPECT_EQ(snapshot_folder(dir),
              (folder_state{
                  {"unit.ps", records("first")}, {"target", "kept"}, {"link.ps", records("new")}}));
}

// A text of lines becomes one record a line; the line feed that ends the text starts none.
TEST(OutputUnit, TextOfLinesAsRecords) {
    const std::pair<std::string, std::string> cases[] = {{"a\nb\n", records("a\nb")},
                                                         {"a\nb", records("a\nb")},
                                                         {"", ""},
                                                         {"\n", records("")},
                                                         {"a\n\nb", records("a\n\nb")}};
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(written([&] { write_text_records(unit_map, text); }), bytes) << text;
}

// The hidden names a unit writes under and keeps earlier files under are the ones the reader
// refuses as output names, in any folder and whatever the process number; others are not.
TEST(OutputUnit, HiddenNamesAreRecognised) {
    const std::string dir = test_scratch_dir();
    write_file(dir + "/unit.ps", "earlier");
    open_output_unit(unit_map, (dir + "/unit.ps").c_str());
    std::vector<std::string> hidden;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename() != "unit.ps") hidden.push_back(entry.path().filename());
    close_all_units();
    ASSERT_EQ(hidden.size(), 1u);
    for (const std::string& name :
         {hidden[0], "maps/" + hidden[0], std::string(".map1.ps.previous-7-2"),
          std::string(".x.partial-")})
        EXPECT_TRUE(is_hidden_run_file_name(name)) << name;
    for (const char* name :
         {"x.partial-1", ".x.partial", ".x.previous", ".previous-1/map.ps", "a.ps"})
        EXPECT_FALSE(is_hidden_run_file_name(name)) << name;
}

// A failed write (here the file-size limit, which the run's guards turn from a signal into an
// error) stops the run naming its unit; later output to that unit is dropped, committing it
// fails again without a file, and the layer is ready for another run.
TEST(OutputUnit, WriteFailureIsReportedOnce) {
    const std::string dir = test_scratch_dir(),
                      message =
                          "phasemap: " + dir + "/map1.ps (unit 3): cannot write: File too large";
    open_output_unit(unit_log, (dir + "/log.out").c_str());
    open_output_unit(unit_map, (dir + "/map1.ps").c_str());
    write_list(unit_log, {item_text("Start")});
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{4096, limit.rlim_max};
    begin_interruption_guards();
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_EQ(stop_message([] { write_raw_record(unit_map, std::string(100000, 'x')); }), message);
    setrlimit(RLIMIT_FSIZE, &limit);
    end_interruption_guards();
    write_list(unit_map, {item_text("dropped")});
    EXPECT_EQ(stop_message([] { commit_output_units({unit_map}); }), message);
    commit_output_units({unit_log});
    EXPECT_NO_THROW(close_all_units());
    EXPECT_EQ(read_file(dir + "/log.out"), records(" Start"));
    EXPECT_FALSE(file_exists(dir + "/map1.ps"));
    EXPECT_EQ(written([] { write_list(unit_map, {item_text("fresh")}); }), records(" fresh"));
}
