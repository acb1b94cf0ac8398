// Output records byte for byte: list-directed layout and splitting, the PostScript-aware
// list statement, formatted and internal writes, and the output units themselves.
#include <gtest/gtest.h>

#include <string>

#include "records/fatal.hpp"
#include "records/list_layout.hpp"
#include "records/records.hpp"
#include "support/test_support.hpp"

namespace {

const std::string crlf = "\r\n";

std::string blanks(std::size_t count) { return std::string(count, ' '); }

std::string lines(std::initializer_list<std::string> records) {
    std::string text;
    for (const std::string& record : records) text += record + crlf;
    return text;
}

class RecordOutput : public ::testing::Test {
protected:
    void SetUp() override {
        reset_run_state();
        set_text(run.map_file_name, "unit.ps");
        dir = make_scratch_dir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { close_all_units(); }

    // Runs the statements against unit 3 opened on a scratch file and returns the bytes.
    template <typename Statements>
    std::string written(Statements statements) {
        std::string path = dir + "/unit.ps";
        open_output_unit(unit_map, path.c_str());
        statements();
        close_all_units();
        return read_file(path);
    }

    std::string dir;
};

using ListWrite = RecordOutput;
using PostscriptList = RecordOutput;
using Formatted = RecordOutput;
using Internal = RecordOutput;
using OutputUnit = RecordOutput;

std::string internal_text(std::string_view format, std::initializer_list<record_item> items) {
    text40 buffer;
    buffer.fill('#');
    write_internal(buffer, format, items);
    return std::string(buffer.data(), buffer.size());
}

}  // namespace

// The layout examples: leading blank, right-justified fields of 11/12 and 15/16 columns,
// texts written straight after the item before them.
TEST_F(ListWrite, Layout) {
    EXPECT_EQ(written([] { write_list(unit_map, {item_int(3)}); }), lines({blanks(11) + "3"}));
    EXPECT_EQ(written([] { write_list(unit_map, {item_text("n_surfaces"), item_int(3)}); }),
              lines({" n_surfaces" + blanks(10) + "3"}));
    EXPECT_EQ(written([] { write_list(unit_map, {item_real(1.0f)}); }), lines({blanks(8) + "1.000000"}));
    EXPECT_EQ(written([] { write_list(unit_map, {item_real(0.5f), item_real(-3.0f)}); }),
              lines({blanks(4) + "5.000000E-01" + blanks(7) + "-3.000000"}));
    EXPECT_EQ(written([] { write_list(unit_map, {item_real(2.5f), item_text("*********************")}); }),
              lines({blanks(8) + "2.500000*********************"}));
    EXPECT_EQ(written([] { write_list(unit_map, {item_int(1), item_int(2), item_int(3)}); }),
              lines({blanks(11) + "1" + blanks(11) + "2" + blanks(11) + "3"}));
    EXPECT_EQ(written([] { write_list(unit_map, {}); }), lines({" "}));
    EXPECT_EQ(written([] { write_list(unit_map, {item_int(-2147483647 - 1), item_int(0)}); }),
              lines({" -2147483648" + blanks(11) + "0"}));
    // A number after a text has only its field's blanks; a fixed text keeps its trailing blanks.
    EXPECT_EQ(written([] { write_list(unit_map, {item_text("x"), item_real(-1.0e-10f), item_text("  L")}); }),
              lines({" x" + blanks(2) + "-1.000000E-10  L"}));
    text40 name;
    set_text(name, "Ga-rich (2x4)");
    EXPECT_EQ(written([&] { write_list(unit_map, {item_text(name), item_int(7)}); }),
              lines({" Ga-rich (2x4)" + blanks(27) + blanks(10) + "7"}));
}

// Numbers that no longer fit start the next record as their bare field; texts are cut at the
// room left and continue after a leading blank.
TEST_F(ListWrite, Splitting) {
    // Text, three integers, three reals: 75 columns, room 5, the last real moves on.
    EXPECT_EQ(written([] {
                  write_list(unit_map, {item_text("abcdefg"), item_int(1), item_int(2), item_int(3), item_real(1.0f),
                                        item_real(2.0f), item_real(3.0f)});
              }),
              lines({" abcdefg" + blanks(10) + "1" + blanks(11) + "2" + blanks(11) + "3" + blanks(8) + "1.000000" +
                         blanks(8) + "2.000000",
                     blanks(8) + "3.000000"}));
    // Six reals: 15 + 4 * 16 = 79 does not fit, so the fifth real opens the second record.
    EXPECT_EQ(written([] {
                  write_list(unit_map, {item_real(1.0f), item_real(1.0f), item_real(1.0f), item_real(1.0f),
                                        item_real(1.0f), item_real(1.0f)});
              }),
              lines({blanks(8) + "1.000000" + blanks(8) + "1.000000" + blanks(8) + "1.000000" + blanks(8) + "1.000000",
                     blanks(8) + "1.000000" + blanks(8) + "1.000000"}));
    std::string text78(78, 'a');
    std::string text79(79, 'b');
    std::string text100(100, 'c');
    EXPECT_EQ(written([&] { write_list(unit_map, {item_text(text78)}); }), lines({" " + text78}));
    // "Less than room" is strict: exactly 79 characters end with a record of one blank.
    EXPECT_EQ(written([&] { write_list(unit_map, {item_text(text79)}); }), lines({" " + text79, " "}));
    EXPECT_EQ(written([&] { write_list(unit_map, {item_text(text100)}); }),
              lines({" " + text100.substr(0, 79), " " + text100.substr(79)}));
    EXPECT_EQ(written([&] { write_list(unit_map, {item_int(1), item_text(text78), item_int(2)}); }),
              lines({blanks(11) + "1" + text78.substr(0, 68), " " + text78.substr(68) + blanks(10) + "2"}));
    EXPECT_EQ(written([&] { write_list(unit_map, {item_text(text79), item_int(5)}); }),
              lines({" " + text79, blanks(11) + "5"}));
}

// A field of 79 columns cannot be written: the run stops, the interrupted record is dropped
// and the report follows the records finished before it. 78 columns still fit.
TEST_F(ListWrite, FieldTooWideStopsTheRun) {
    std::string path = dir + "/log.out";
    open_output_unit(unit_log, path.c_str());
    write_list(unit_log, {item_text("before")});
    list_statement statement;
    begin_list_statement(statement, unit_log, false);
    place_list_number(statement, "1", 1, 78);
    end_list_statement(statement);
    begin_list_statement(statement, unit_log, false);
    place_list_number(statement, "2", 1, 11);
    try {
        place_list_number(statement, "3", 1, 79);
        FAIL() << "no stop";
    } catch (const run_stopped& stop) {
        EXPECT_EQ(stop.message, "phasemap: log.out (unit 2): a list-directed field of 79 columns does not fit into a record");
    }
    close_all_units();
    EXPECT_EQ(read_file(path), lines({" before", blanks(78) + "1",
                                      "phasemap: log.out (unit 2): a list-directed field of 79 columns does not fit "
                                      "into a record"}));
}

namespace {

// The label record of a map: x, y, " M  (", a string of n characters, ")  show".
void write_label_record(int32_t n, bool keeps_postscript_words) {
    std::string s(static_cast<std::size_t>(n), 's');
    if (keeps_postscript_words) {
        write_list_postscript(unit_map, {item_real(415.0f), item_real(170.0f), item_text(" M  ("), item_text(s),
                                         item_text(")  show")});
    } else {
        write_list(unit_map, {item_real(415.0f), item_real(170.0f), item_text(" M  ("), item_text(s),
                              item_text(")  show")});
    }
}

const std::string label_start = blanks(6) + "415.000000" + blanks(6) + "170.000000 M  (";

}  // namespace

// The cut moves back to before the operator word, or stays where write_list puts it when
// that place is already safe.
TEST_F(PostscriptList, WorkedCases) {
    auto s = [](int n) { return std::string(static_cast<std::size_t>(n), 's'); };
    EXPECT_EQ(written([] { write_label_record(36, true); }), lines({label_start + s(36) + ")  show", " "}));
    EXPECT_EQ(written([] { write_label_record(40, true); }), lines({label_start + s(40) + ")  ", " show"}));
    for (int n : {37, 38, 39})
        EXPECT_EQ(written([n] { write_label_record(n, true); }), lines({label_start + s(n) + ")  ", " show"}))
            << n;
    EXPECT_EQ(written([] { write_label_record(37, false); }), lines({label_start + s(37) + ")  sho", " w"}));
}

// Wherever write_list's cut is safe the bytes are the same; where it is not, only the place
// of the cut differs.
TEST_F(PostscriptList, SameBytesAsListWhereTheCutIsSafe) {
    for (int n = 0; n <= 36; ++n) {
        std::string plain = written([n] { write_label_record(n, false); });
        std::string safe = written([n] { write_label_record(n, true); });
        EXPECT_EQ(safe, plain) << n;
    }
    std::string plain = written([] { write_label_record(40, false); });
    EXPECT_EQ(written([] { write_label_record(40, true); }), plain);
}

// A string that reaches past the room is not cut: the record runs on to the first safe place
// after it, in a later item if need be.
TEST_F(PostscriptList, LongStringRunsPastTheRecord) {
    std::string s(60, 's');
    EXPECT_EQ(written([] { write_label_record(60, true); }),
              lines({label_start + std::string(60, 's') + ")", "   show"}));
    // Nested and escaped parentheses stay inside the string.
    std::string nested = "a(b\\)c)d" + std::string(40, 'e');
    EXPECT_EQ(written([&] {
                  write_list_postscript(unit_map, {item_real(1.0f), item_real(2.0f), item_text(" M  ("),
                                                   item_text(nested), item_text(") show")});
              }),
              lines({blanks(8) + "1.000000" + blanks(8) + "2.000000 M  (" + nested + ")", "  show"}));
    // An unclosed string keeps the whole statement on one record.
    std::string open_text = "(" + std::string(90, 'u');
    EXPECT_EQ(written([&] { write_list_postscript(unit_map, {item_text(open_text), item_int(4)}); }),
              lines({" " + open_text, blanks(11) + "4"}));
}

// Outside strings the cut falls between words (write_list would cut "moveto" after "mo");
// a word longer than a record runs on to its end.
TEST_F(PostscriptList, CutsBetweenWords) {
    std::string words;
    while (words.size() < 90) words += "moveto ";
    EXPECT_EQ(written([&] { write_list_postscript(unit_map, {item_text(words)}); }),
              lines({blanks(1) + words.substr(0, 77), blanks(1) + words.substr(77)}));
    std::string word(100, 'w');
    EXPECT_EQ(written([&] { write_list_postscript(unit_map, {item_text(word), item_text(" x")}); }),
              lines({" " + word, "  x"}));
}

// Formats the program uses, in either case, with blanks and repeat counts.
TEST_F(Formatted, ProgramFormats) {
    EXPECT_EQ(written([] {
                  write_formatted(unit_map, "(1x,2f7.2,a4,i4,a4)",
                                  {item_real(209.0f), item_real(80.0f), item_text(" M ("), item_int(-2),
                                   item_text(") SN")});
              }),
              lines({"  209.00  80.00 M (  -2) SN"}));
    EXPECT_EQ(written([] {
                  write_formatted(unit_map, "(1x,f9.2,f8.2,a4,i4,a4)",
                                  {item_real(50.0f), item_real(-5.0f), item_text(" M ("), item_int(10),
                                   item_text(") SN")});
              }),
              lines({"     50.00   -5.00 M (  10) SN"}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "(a2,i1)", {item_text("gr"), item_int(5)}); }), lines({"gr5"}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "(a2,i2)", {item_text("gr"), item_int(5)}); }), lines({"gr 5"}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "(A2,I2)", {item_text("gr"), item_int(12)}); }), lines({"gr12"}));
    EXPECT_EQ(written([] { write_formatted(unit_map, " ( 1X , 2F7.2 ) ", {item_real(1.0f), item_real(-0.5f)}); }),
              lines({"    1.00   -.50"}));
}

// Aw pads or cuts, Iw and Fw.d fill with asterisks on overflow; a formatted record has no
// leading blank of its own; items may end before the format does.
TEST_F(Formatted, Descriptors) {
    EXPECT_EQ(written([] { write_formatted(unit_map, "(a4,a2,a)", {item_text("ab"), item_text("xyz"), item_text("q ")}); }),
              lines({"  abxyq "}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "(a2,i1)", {item_text("gr"), item_int(12)}); }), lines({"gr*"}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "(i3,f5.1)", {item_int(-100), item_real(1234.0f)}); }),
              lines({"********"}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "(3x,a1)", {item_text("k")}); }), lines({"   k"}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "(i4,i4,1x)", {item_int(7)}); }), lines({"   7"}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "()", {}); }), lines({""}));
    EXPECT_EQ(written([] { write_formatted(unit_map, "(i^,1x)", {item_int(-42, 5)}); }), lines({"  -42 "}));
}

// A format the layer cannot read, or items that do not match it, stop the run without
// leaving a partial record.
TEST_F(Formatted, BadFormatsStopTheRun) {
    const char* bad_formats[] = {"a4", "(a4", "(q4)", "(f7)", "(f.2)", "(i)", "(0a)", "(a4 i4)", "(a4)x",
                                 "(f1000.2)", "(a0)"};
    for (const char* format : bad_formats) {
        std::string path = dir + "/unit.ps";
        open_output_unit(unit_map, path.c_str());
        write_raw_record(unit_map, "kept");
        EXPECT_THROW(write_formatted(unit_map, format, {item_text("ab"), item_int(1)}), run_stopped) << format;
        close_all_units();
        EXPECT_EQ(read_file(path), lines({"kept"})) << format;
    }
    EXPECT_EQ(written([] {
                  try {
                      write_formatted(unit_map, "(a2,i1)", {item_text("gr"), item_real(1.0f)});
                  } catch (const run_stopped& stop) {
                      EXPECT_EQ(stop.message, "phasemap: unit.ps (unit 3): the items do not match the format "
                                              "\"(a2,i1)\": an item of the wrong kind");
                  }
                  EXPECT_THROW(write_formatted(unit_map, "(a2)", {item_text("gr"), item_int(1)}), run_stopped);
              }),
              "");
}

// Internal writes fill the 40-character buffer from its start and blank the rest; a width
// beyond any record or a bad format stops the run.
TEST_F(Internal, LabelFormats) {
    EXPECT_EQ(internal_text("(I^,1X,A1)", {item_int(300, 3), item_text("K")}), "300 K" + blanks(35));
    EXPECT_EQ(internal_text("(A4,I^,A1)", {item_text("10^{"), item_int(-5, 2), item_text("}")}), "10^{-5}" + blanks(33));
    EXPECT_EQ(internal_text("(A4,I^,A1)", {item_text("10^{"), item_int(0, 1), item_text("}")}), "10^{0}" + blanks(34));
    EXPECT_EQ(internal_text("(A4,I^,A1)", {item_text("10^{"), item_int(12, 4), item_text("}")}), "10^{  12}" + blanks(31));
    EXPECT_EQ(internal_text("(A4,I^,A1)", {item_text("10^{"), item_int(-12, 2), item_text("}")}), "10^{**}" + blanks(33));
    EXPECT_EQ(internal_text("()", {}), blanks(40));
    // A run-time width of zero or less writes the number at its own width; a record longer
    // than the buffer is cut at its end.
    EXPECT_EQ(internal_text("(I^,1X,A1)", {item_int(0, 0), item_text("K")}), "0 K" + blanks(37));
    EXPECT_EQ(internal_text("(I^,1X,A1)", {item_int(-7, -3), item_text("K")}), "-7 K" + blanks(36));
    std::string long_text(50, 'z');
    EXPECT_EQ(internal_text("(a2,a)", {item_text("ab"), item_text(long_text)}), "ab" + long_text.substr(0, 38));
    EXPECT_THROW(internal_text("(I^)", {item_int(1, 5000)}), run_stopped);
    EXPECT_THROW(internal_text("(x4)", {item_int(1)}), run_stopped);
}

// Raw records, reopening a unit, and a second run in the same process.
TEST_F(OutputUnit, RecordsAndReopening) {
    std::string path = dir + "/unit.ps";
    open_output_unit(unit_map, path.c_str());
    EXPECT_TRUE(is_unit_open(unit_map));
    EXPECT_FALSE(is_unit_open(unit_phase));
    EXPECT_FALSE(is_unit_open(-1));
    EXPECT_FALSE(is_unit_open(1000));
    write_raw_record(unit_map, "%!PS-Adobe-3.0 EPSF-3.0");
    write_raw_record(unit_map, "");
    flush_output_units();
    EXPECT_EQ(read_file(path), lines({"%!PS-Adobe-3.0 EPSF-3.0", ""}));
    open_output_unit(unit_map, path.c_str());
    write_raw_record(unit_map, "again");
    close_all_units();
    EXPECT_FALSE(is_unit_open(unit_map));
    EXPECT_EQ(read_file(path), lines({"again"}));
    // Closing takes the input unit with it.
    write_file(dir + "/input.txt", "bulk\r\n");
    open_input_unit((dir + "/input.txt").c_str());
    text20 keyword;
    read_keyword_a8(keyword, "a keyword record");
    EXPECT_EQ(input_line_number(), 1);
    close_all_units();
    EXPECT_EQ(input_line_number(), 0);
    // Records much longer than a unit's buffer arrive whole.
    std::string huge(200000, 'h');
    EXPECT_EQ(written([&] {
                  write_raw_record(unit_map, huge);
                  write_list(unit_map, {item_int(1)});
              }),
              lines({huge, blanks(11) + "1"}));
}

// Writing to a unit that is not open, or a file that cannot be created, stops the run.
TEST_F(OutputUnit, OpenAndWriteErrors) {
    try {
        open_output_unit(unit_phase, (dir + "/missing/phase.out").c_str());
        FAIL() << "no stop";
    } catch (const run_stopped& stop) {
        EXPECT_EQ(stop.message, "phasemap: phase.out (unit 4): cannot create the file: No such file or directory");
    }
    EXPECT_FALSE(is_unit_open(unit_phase));
    EXPECT_THROW(write_list(unit_phase, {item_int(1)}), run_stopped);
    EXPECT_THROW(write_raw_record(unit_phase, "x"), run_stopped);
    EXPECT_THROW(write_formatted(unit_phase, "(i1)", {item_int(1)}), run_stopped);
}

// A failed write is reported once, in log.out, naming its unit; later output to that unit is
// dropped and closing never throws.
TEST_F(OutputUnit, WriteFailureIsReportedOnce) {
    std::string log_path = dir + "/log.out";
    open_output_unit(unit_log, log_path.c_str());
    open_output_unit(unit_map, "/dev/full");
    write_list(unit_log, {item_text("Start")});
    write_list(unit_map, {item_text("lost")});
    try {
        flush_output_units();
        FAIL() << "no stop";
    } catch (const run_stopped& stop) {
        EXPECT_EQ(stop.message, "phasemap: unit.ps (unit 3): cannot write: No space left on device");
    }
    write_list(unit_map, {item_text("dropped")});
    flush_output_units();
    EXPECT_NO_THROW(close_all_units());
    EXPECT_EQ(read_file(log_path), lines({" Start", "phasemap: unit.ps (unit 3): cannot write: No space left on device"}));
    // The layer is ready for another run.
    EXPECT_EQ(written([] { write_list(unit_map, {item_text("fresh")}); }), lines({" fresh"}));
}
