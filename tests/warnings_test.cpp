// Warnings for likely slips: whole runs whose standard error names the slip, and whose every
// output file and exit status equal those of the same input with the slipped line removed.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace {

const std::string entries = good_entries(), head = entries.substr(0, entries.find("surf")),
                  surfaces = entries.substr(head.size());

// Runs `before + slip + after`, and the same input without the slip, and compares the two.
void expect_warning(const std::string& name, const std::string& before, const std::string& slip,
                    const std::string& after, const std::string& warnings) {
    std::string with_slip, without_slip;
    const run_result slipped = run_program_on("warn_" + name, before + slip + after, &with_slip);
    const run_result clean =
        run_program_on("warn_" + name + "_clean", before + after, &without_slip);
    EXPECT_EQ(slipped.stderr_text, warnings) << name;
    EXPECT_EQ(clean.stderr_text, "") << name;
    EXPECT_EQ(slipped.status, clean.status) << name;
    folder_state expected = snapshot_folder(without_slip);
    expected["input.txt"] = before + slip + after;
    EXPECT_EQ(snapshot_folder(with_slip), expected) << name;
}

std::string warning(int line, const std::string& what) {
    return "phasemap: warning: input.txt, line " + std::to_string(line) + ": " + what + "\n";
}

// A keyword after blanks or a tab, in another case or one letter off is read as a comment;
// a first word that starts with a non-letter or is shorter than three letters never warns.
TEST(Warnings, KeywordsReadAsComments) {
    const std::string indented =
                          "is indented, so it is read as a comment; keywords start in column 1",
                      comment = "is read as a comment; did you mean ";
    expect_warning("indented", head + surfaces, "  stop here\n", "stop\n",
                   warning(9, "'stop' " + indented));
    expect_warning("tab", head, "\tsurf 2\n", surfaces + "stop\n",
                   warning(6, "'surf' " + indented));
    expect_warning("misspelt", head, "srf 2\n", surfaces + "stop\n",
                   warning(6, "'srf' " + comment + "'surf'?"));
    expect_warning("capitals", head + surfaces, "Xaxi\nO\n", "stop\n",
                   warning(9, "'Xaxi' " + comment + "'xaxi'?"));
    expect_warning("not_slips", head, "# srf\n! Surf\n*bulk\nto be read\n", surfaces + "stop\n",
                   "");
}

// A record right after the last entry of a counted keyword that reads as one more entry.
TEST(Warnings, OneEntryMoreThanDeclared) {
    expect_warning("surface", head + surfaces, "'with 2H' 8 17 2 20.5 -142.6\n", "stop\n",
                   warning(9, "this looks like surface 3, but surf declares 2 surfaces"));
    expect_warning("xbound", head + surfaces + "xbound                          1\n", "-1.0\n",
                   "stop\n", warning(10, "this looks like value 1, but xbound declares 0 values"));
    expect_warning("label", head + surfaces + "text 1\n-1 -1 12 a\n", "-1.5 -1 12 b\n", "stop\n",
                   warning(11, "this looks like label 2, but text declares 1 label"));
    expect_warning("not_an_entry", head + surfaces + "equi 1\n1 -1 0\n", "the line y = x\n",
                   "stop\n", "");
}

// At most 20 warnings are shown, then one line says that there are more.
TEST(Warnings, AtMostTwenty) {
    std::string slips, expected;
    for (int i = 0; i < 25; ++i) {
        slips += "Bulk\n";
        if (i < 20) expected += warning(6 + i, "'Bulk' is read as a comment; did you mean 'bulk'?");
    }
    expect_warning(
        "many", head, slips, surfaces + "stop\n",
        expected + "phasemap: warning: input.txt: more than 20 warnings; the rest are not shown\n");
}

}  // namespace
