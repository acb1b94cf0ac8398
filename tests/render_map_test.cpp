// tools/render-map turns a map into a cropped PNG, PDF and EPS, making the output folder
// when it is missing and leaving the map itself as it was, with the fonts embedded in the PDF
// and EPS; it refuses what is no map, a folder it cannot make and a bad resolution, and says
// clearly when ghostscript is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/test_support.hpp"

namespace {

const std::string demo_map = PHASEMAP_SOURCE_DIR "/docs/examples/oxide-in-oxygen-and-water.ps";

// The text as one shell word.
std::string quoted(const std::string& text) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

// render-map with `arguments` (shell words), after `prefix`; its exit status and everything
// it wrote.
std::pair<int, std::string> render(const std::string& arguments, const std::string& prefix = "") {
    int status = -1;
    const std::string script = quoted(PHASEMAP_SOURCE_DIR "/tools/render-map");
    const std::string output = shell_output(prefix + script + " " + arguments + " 2>&1", &status);
    return {status, output};
}

// The four numbers of the first "%%BoundingBox:" line of a text; empty when there is none.
std::vector<int> bounding_box_in(const std::string& text) {
    const std::size_t at = text.find("%%BoundingBox:");
    std::istringstream line(
        at == std::string::npos ? "" : text.substr(at + 14, text.find('\n', at) - at - 14));
    std::vector<int> box(4);
    return line >> box[0] >> box[1] >> box[2] >> box[3] ? box : std::vector<int>{};
}

// Where ghostscript's bbox device finds marks on the page a PostScript file draws.
std::vector<int> marks_of(const std::string& path) {
    return bounding_box_in(
        shell_output("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox " + quoted(path) + " 2>&1"));
}

// How many fonts pdffonts lists for a PDF, and the rows of those not embedded as a subset.
struct font_table {
    std::size_t fonts = 0;
    std::vector<std::string> not_embedded_subset;
};
font_table fonts_of(const std::string& pdf) {
    int status = -1;
    std::istringstream listing(shell_output("pdffonts " + quoted(pdf) + " 2>&1", &status));
    EXPECT_EQ(status, 0) << "pdffonts cannot read " << pdf << ":\n" << listing.str();
    std::string header, rule, row;
    std::getline(listing, header);
    std::getline(listing, rule);
    const std::size_t flags = header.find(" emb sub ");
    font_table table;
    while (std::getline(listing, row)) {
        ++table.fonts;
        if (flags == std::string::npos || row.size() < flags + 9 ||
            row.compare(flags, 9, " yes yes ") != 0)
            table.not_embedded_subset.push_back(row);
    }
    return table;
}

// A relative output base name whose folder does not exist yet, as a user would type it. The
// EPS declares a box exactly where it draws, as large as the drawing of the map.
TEST(RenderMap, WritesPictureAndPdfAndATightConformingEpsIntoANewFolder) {
    const std::string dir = make_scratch_dir("render_map_outputs"), base = dir + "/pictures/oxide",
                      map = read_file(demo_map);
    if (!has_ghostscript(demo_map)) GTEST_SKIP() << "ghostscript (gs) is not installed";
    write_file(dir + "/map1.ps", map);
    const auto [status, output] = render("map1.ps pictures/oxide", "cd " + quoted(dir) + " && ");
    ASSERT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    EXPECT_EQ(read_file(dir + "/map1.ps"), map) << "render-map changed the map";
    EXPECT_TRUE(read_file(base + ".png").starts_with("\x89PNG"));
    EXPECT_TRUE(read_file(base + ".pdf").starts_with("%PDF-"));

    const std::string eps = read_file(base + ".eps"),
                      header = eps.substr(0, eps.find("%%EndComments"));
    ASSERT_TRUE(eps.starts_with("%!PS-Adobe-3.0 EPSF-3.0\n")) << header;
    EXPECT_NE(header.find("%%HiResBoundingBox:"), std::string::npos) << header;
    const std::vector<int> declared = bounding_box_in(header),
                           map_marks = marks_of(dir + "/map1.ps");
    ASSERT_EQ(declared.size(), 4u) << "no %%BoundingBox in the EPS header:\n" << header;
    ASSERT_EQ(map_marks.size(), 4u);
    EXPECT_EQ(marks_of(base + ".eps"), declared);
    EXPECT_NEAR(declared[2] - declared[0], map_marks[2] - map_marks[0], 1);
    EXPECT_NEAR(declared[3] - declared[1], map_marks[3] - map_marks[1], 1);
    expect_valid_postscript(base + ".eps");
}

// Submission checks refuse a PDF with a font that is not embedded. The EPS must carry its
// fonts too: without its font map, which is where the standard fonts a file only names come
// from, ghostscript still turns it into a PDF, and that one's fonts are all embedded. The
// second map also shows labels in the Latin-1 copy of Times-Roman.
TEST(RenderMap, PdfAndEpsCarryEveryFontEmbeddedAsASubset) {
    const std::string dir = make_scratch_dir("render_map_fonts");
    if (!has_ghostscript(demo_map)) GTEST_SKIP() << "ghostscript (gs) is not installed";
    if (!has_pdffonts(demo_map)) GTEST_SKIP() << "pdffonts (poppler-utils) is not installed";
    for (const std::string name : {"oxide-in-oxygen-and-water", "hematite-terminations"}) {
        const std::string base = dir + "/" + name, from_eps = base + "-from-eps.pdf";
        const auto [status, output] = render(
            quoted(PHASEMAP_SOURCE_DIR "/docs/examples/" + name + ".ps") + " " + quoted(base));
        ASSERT_EQ(status, 0) << output;
        int converted = -1;
        const std::string report = shell_output(
            "gs -q -dSAFER -dBATCH -dNOPAUSE -dNOFONTMAP -sDEVICE=pdfwrite -sOutputFile=" +
                quoted(from_eps) + " " + quoted(base + ".eps") + " 2>&1",
            &converted);
        EXPECT_EQ(converted, 0) << name << ".eps needs fonts it does not carry:\n" << report;
        std::vector<std::string> pdfs{base + ".pdf"};
        if (converted == 0) pdfs.push_back(from_eps);
        for (const std::string& pdf : pdfs) {
            const font_table fonts = fonts_of(pdf);
            EXPECT_GE(fonts.fonts, 2u) << pdf << " lacks Times-Roman or Symbol";
            EXPECT_EQ(fonts.not_embedded_subset, std::vector<std::string>{}) << pdf;
        }
    }
}

TEST(RenderMap, RefusesWhatIsNoMapAndAFolderItCannotMake) {
    const std::string dir = make_scratch_dir("render_map_failures");
    write_file(dir + "/empty.ps", "");
    write_file(dir + "/file", "");
    EXPECT_EQ(render("").first, 1);
    EXPECT_EQ(render(quoted(dir + "/absent.ps")).first, 1);
    EXPECT_EQ(render(quoted(dir + "/empty.ps")).first, 1);
    EXPECT_EQ(
        render(quoted(demo_map) + " " + quoted(dir + "/dpi"), "PHASEMAP_RENDER_DPI=high ").first,
        1);
    EXPECT_EQ(plain_files_in(dir), (std::set<std::string>{"empty.ps", "file"}));
    if (!has_ghostscript(dir)) GTEST_SKIP() << "ghostscript (gs) is not installed";
    // The output folder would have to be made inside a plain file.
    const auto [status, output] = render(quoted(demo_map) + " " + quoted(dir + "/file/sub/out"));
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("cannot create or write the output folder"), std::string::npos) << output;
    EXPECT_EQ(output.find("Error"), std::string::npos) << "a ghostscript report leaked:\n"
                                                       << output;
}

TEST(RenderMap, SaysWhenGhostscriptIsMissing) {
    const std::string dir = make_scratch_dir("render_map_no_gs"), tools = dir + "/bin";
    // A PATH that holds every tool the script uses before it looks for gs.
    std::filesystem::create_directories(tools);
    for (const std::string tool : {"bash", "env", "head", "grep", "rm"})
        ASSERT_EQ(
            std::system(
                ("ln -s \"$(command -v " + tool + ")\" " + quoted(tools + "/" + tool)).c_str()),
            0);
    const auto [status, output] =
        render(quoted(demo_map) + " " + quoted(dir + "/out/map"), "PATH=" + quoted(tools) + " ");
    EXPECT_EQ(status, 2);
    EXPECT_NE(output.find("ghostscript (gs) is required"), std::string::npos) << output;
    EXPECT_FALSE(file_exists(dir + "/out"));
}

}  // namespace
