// Texts of the input in the outputs: names, labels and an axis title holding every control
// character, the line and paragraph separators, the characters XML forbids and a byte that
// is no UTF-8 character. No byte of the input starts or ends a line of any output (every CR
// is part of a CR LF), the map stays 7-bit, phase.json and the SVG map hold no character XML
// forbids, and the warnings name what is not shown as typed.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace {

// Every control character of ASCII but LF (which ends a record), and DEL.
std::string ascii_controls() {
    std::string controls;
    for (char c = 1; c < 0x20; ++c)
        if (c != '\n') controls += c;
    return controls + "\x7F";
}

// NEL, U+2028, U+2029, U+FFFE, U+FFFF and a lone byte FF.
const std::string unicode_troubles = "\xC2\x85\xE2\x80\xA8\xE2\x80\xA9\xEF\xBF\xBE\xEF\xBF\xBF\xFF";

// What in `content` could start a line, or is a character the file may not hold: "" or what
// was found where.
std::string trouble_in(const std::string& content, bool is_map, bool holds_xml_or_json) {
    for (std::size_t i = 0; i < content.size(); ++i) {
        const auto byte = static_cast<unsigned char>(content[i]);
        const std::string next = content.substr(i, 3);
        const std::string where = " at byte " + std::to_string(i);
        if (byte == '\r' && (i + 1 == content.size() || content[i + 1] != '\n'))
            return "a CR without LF" + where;
        if (byte == '\n' && (i == 0 || content[i - 1] != '\r')) return "an LF without CR" + where;
        if ((byte < 0x20 && byte != '\r' && byte != '\n' && byte != '\t') || byte == 0x7F)
            return "a control byte" + where;
        if (is_map && byte > 0x7E) return "a byte beyond ASCII" + where;
        if (byte == 0xC2 && i + 1 < content.size() &&
            static_cast<unsigned char>(content[i + 1]) <= 0x9F)
            return "a C1 control" + where;
        if (next == "\xE2\x80\xA8" || next == "\xE2\x80\xA9") return "a line separator" + where;
        if (holds_xml_or_json && (next == "\xEF\xBF\xBE" || next == "\xEF\xBF\xBF"))
            return "U+FFFE or U+FFFF" + where;
    }
    return "";
}

TEST(OutputEscaping, NoInputByteStartsALineOfAnyOutput) {
    const std::string controls = ascii_controls();
    const std::string dir = make_scratch_dir("escaping");
    write_file(dir + "/input.txt", "bulk\n1 2\n-16.5 2\nbound\n-2.0 0.0 -1.5 0.0\nsurf 2\n'" +
                                       controls + "' 8 16 0 20.5 -140.2\n'" + unicode_troubles +
                                       "' 8 17 1 20.5 -141.4\nxaxi\n'x" + controls.substr(0, 12) +
                                       "'\ntext 2\n-1.9 -0.2 14 '" + controls +
                                       "'\n-1.9 -0.4 14 'a_{" + unicode_troubles + "}'\nstop\n");
    const run_result result = run_with(dir, {"--json", "--svg"});
    EXPECT_EQ(result.status, 0);
    for (const char* name : {"log.out", "phase.out", "map1.ps", "phase.json", "map1.svg"}) {
        const std::string file = name;
        EXPECT_EQ(trouble_in(read_file(dir + "/" + file), file == "map1.ps",
                             file == "phase.json" || file == "map1.svg"),
                  "")
            << file;
    }
    const std::string listed =
        "U+0001, U+0002, U+0003, U+0004, U+0005, U+0006, U+0007, U+0008, U+000B, U+000C, "
        "U+000D, U+000E, U+000F, U+0010, U+0011, U+0012, U+0013, U+0014, U+0015, U+0016, "
        "U+0017, U+0018, U+0019, U+001A, U+001B, U+001C, U+001D, U+001E, U+001F, U+007F";
    const std::string warning = "phasemap: warning: input.txt, line ";
    EXPECT_EQ(result.stderr_text,
              warning + "7: the name of surface 1: the outputs do not show " + listed +
                  " as typed\n" + warning +
                  "8: the name of surface 2: the outputs do not show U+0085, U+2028, U+2029 as "
                  "typed; phase.json and the SVG map show U+FFFE, U+FFFF, '\\xFF' as U+FFFD\n" +
                  warning +
                  "10: the x axis title: the outputs do not show U+0001, U+0002, U+0003, "
                  "U+0004, U+0005, U+0006, U+0007, U+0008, U+000B, U+000C, U+000D as typed\n" +
                  warning + "12: label 1: the outputs do not show " + listed + " as typed\n" +
                  warning +
                  "13: label 2: no glyph in the map's fonts for U+0085, U+2028, U+2029, U+FFFE, "
                  "U+FFFF; '\\xFF' is not UTF-8; drawn as '?'\n");
}

}  // namespace
