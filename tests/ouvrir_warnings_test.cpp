// Warnings for likely slips: whole runs whose standard error names the slip, and whose every
// output file and exit status equal those of the same input with the slipped line removed.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace {

const std::string entries = good_entries(), head = entries.substr(0, entries.find("surf")),
                  surfaces = entries.substr(head.size());

// Runs `input`, and `as_read`, an input that reads the same without the slip, and compares
// the two: `input` gives `warnings` (before any error), `as_read` no warning, and both the
// same status and output files.
void expect_same_run(const std::string& name, const std::string& input, const std::string& as_read,
                     const std::string& warnings) {
    const std::string with_slip = folder_with("warn_" + name, input),
                      without_slip = folder_with("warn_" + name + "_clean", as_read);
    const run_result slipped = run_program_in(with_slip), clean = run_program_in(without_slip);
    EXPECT_EQ(slipped.stderr_text, warnings + clean.stderr_text) << name;
    EXPECT_EQ(clean.stderr_text.find("warning"), std::string::npos) << name;
    EXPECT_EQ(slipped.status, clean.status) << name;
    folder_state expected = snapshot_folder(without_slip);
    expected["input.txt"] = input;
    EXPECT_EQ(snapshot_folder(with_slip), expected) << name;
}

// The same, for a slip that the input reads as if the line were not there.
void expect_warning(const std::string& name, const std::string& before, const std::string& slip,
                    const std::string& after, const std::string& warnings) {
    expect_same_run(name, before + slip + after, before + after, warnings);
}

std::string warning(int line, const std::string& what) {
    return "phasemap: warning: input.txt, line " + std::to_string(line) + ": " + what + "\n";
}

// A keyword after a tab or one letter off is read as a comment; a first word that starts with
// a non-letter or is shorter than three letters never warns. (After blanks and in capitals:
// the golden case reader-keywords-and-comments.)
TEST(Warnings, KeywordsReadAsComments) {
    const std::string indented =
                          "is indented, so it is read as a comment; keywords start in column 1",
                      comment = "is read as a comment; did you mean ";
    expect_warning("tab", head, "\tsurf 2\n", surfaces + "stop\n",
                   warning(6, "'surf' " + indented));
    expect_warning("misspelt", head, "srf 2\n", surfaces + "stop\n",
                   warning(6, "'srf' " + comment + "'surf'?"));
    expect_warning("swapped", head + surfaces, "tmep1\n300 -1 -1 1 1\n", "stop\n",
                   warning(9, "'tmep1' " + comment + "'temp1'?"));
    expect_warning("not_slips", head, "# srf\n! Surf\n*bulk\nto be read\n", surfaces + "stop\n",
                   "");
}

// A record right after the last entry of a counted keyword that reads as one more entry (a
// value of a guide-line entry: the golden case reader-guide-count-columns).
TEST(Warnings, OneEntryMoreThanDeclared) {
    expect_warning("surface", head + surfaces, "'with 2H' 8 17 2 20.5 -142.6\n", "stop\n",
                   warning(9, "this looks like surface 3, but surf declares 2 surfaces"));
    expect_warning("label", head + surfaces + "text 1\n-1 -1 12 a\n", "-1.5 -1 12 b\n", "stop\n",
                   warning(11, "this looks like label 2, but text declares 1 label"));
    expect_warning("not_an_entry", head + surfaces + "equi 1\n1 -1 0\n", "the line y = x\n",
                   "stop\n", "");
}

// A record that holds values after those its entry reads: the values are dropped, with a
// hint for decimal commas (also one that splits the last value read) and for texts without
// quotes, and the run is that of the values as read; the warning comes before an error the
// values read then cause. A note after the values, a slash that ends a record on purpose and
// a comment never warn.
TEST(Warnings, ValuesLeftUnread) {
    const std::string unread = "this line holds ", bulk_head = "bulk\n1 2\n",
                      window = "bound\n-2.0 0.0 -1.5 0.0\n";
    const std::string decimals =
        "; decimals are written with a point, and a comma separates two "
        "values, so ";
    expect_same_run("decimal_energy", bulk_head + "-16,5 2\n" + window + surfaces + "stop\n",
                    bulk_head + "-16 5\n" + window + surfaces + "stop\n",
                    warning(3, unread +
                                   "3 values but only 2 are read; the first left unread is "
                                   "'2'" +
                                   decimals + "'-16,5' reads as -16 and 5"));
    expect_same_run("decimal_area", head + "surf 1\nclean 8 16 0 20,5 -140,2\nstop\n",
                    head + "surf 1\nclean 8 16 0 20 5\nstop\n",
                    warning(7, unread +
                                   "8 values but only 6 are read; the first left unread is "
                                   "'-140'" +
                                   decimals + "'20,5' reads as 20 and 5"));
    expect_same_run("decimal_last_value", head + "surf 1\nclean 8 16 0 20.5 -140,2\nstop\n",
                    head + "surf 1\nclean 8 16 0 20.5 -140\nstop\n",
                    warning(7, unread +
                                   "7 values but only 6 are read; the first left unread is "
                                   "'2'" +
                                   decimals + "'-140,2' reads as -140 and 2"));
    const std::string labels = head + surfaces + "text 1\n-1 -1 12 ";
    expect_same_run("unquoted_label", labels + "stoichiometric, clean\nstop\n",
                    labels + "stoichiometric\nstop\n",
                    warning(10, unread + "5 values but only 4 are read; the first left unread is "
                                         "'clean'; a text without quotes ends at the comma, so "
                                         "the rest of it is not read: quote the whole text"));
    expect_same_run("unquoted_slash", labels + "a/b\nstop\n", labels + "a\nstop\n",
                    warning(10,
                            "the text ends at the slash, so the rest of it, '/b', is not "
                            "read: quote the whole text"));
    expect_same_run("not_misreads",
                    head +
                        "surf 2 surfaces\nclean 8 16 0 20.5 -140.2   the clean one\n"
                        "'with H' 8 17 1 20.5 -141.4 /\nxaxi\n'mu, in eV' 2\nstop\n",
                    head + surfaces + "xaxi\n'mu, in eV'\nstop\n",
                    warning(10, unread + "2 values but only 1 is read; the first left unread is "
                                         "'2'"));
}

// A name, label or axis title longer than its 40-byte field keeps its first 40 bytes: one
// warning shows the text kept, up to its last whole character; the run is that of the text
// as kept (a label: the golden case map-label-characters).
TEST(Warnings, TextsCutToTheirField) {
    const std::string cut = "is longer than its field of 40 bytes and is cut to '",
                      bytes = "' (characters outside ASCII take two or three bytes each)";
    const std::string name = "clean surface, relaxed in the 2024 runs";  // 39 bytes
    expect_same_run("cut_name", head + "surf 1\n'" + name + "—6 layers' 8 16 0 20.5 -140.2\nstop\n",
                    head + "surf 1\n'" + name + "\xE2' 8 16 0 20.5 -140.2\nstop\n",
                    warning(7, "the name of surface 1 " + cut + name + bytes));
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
