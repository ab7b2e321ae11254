// PDF pages read back with poppler's tools: page count and sizes, the title text, and a rasterised
// page showing a line in its pen's colour where the page puts it (y up); errors leave no file behind.

#include "kit/PdfWriter.h"
#include "TempDir.h"
#include "kit/InputError.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

// Fontconfig keeps the fonts it found (for cairo's text) in process-wide caches that leak checking
// sees as lost when the tests end; they are allocated once, not per document.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

using namespace kvhlr;

// The command's standard output; fails the test when it cannot be run or exits non-zero.
std::string output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        text += buffer;
    const int status = pipe ? pclose(pipe.release()) : -1;
    EXPECT_EQ(status, 0) << command << " (poppler-utils installed?)";
    return text;
}

Page samplePage() {
    Page page; // A4 portrait
    PageLayer visible;
    visible.name = "1-visible";
    visible.pen = {2.0, {}, "#ff0000"};
    visible.polylines = {{{20, 30}, {190, 30}}, {{20, 40}}};
    PageLayer hidden;
    hidden.name = "2-hidden";
    hidden.pen = {0.25, {3, 1.5}, "#0000FF"};
    hidden.polylines = {{{20, 50}, {190, 250}}};
    page.layers = {visible, hidden};
    page.texts = {{{20, 280}, 5, "KELVAR TITLE", "1-visible"}};
    return page;
}

TEST(PdfWriter, PagesReadBack) {
    kvhlrtest::TempDir dir;
    const std::string path = dir.path("sheet.pdf");
    Page a3; // landscape
    a3.widthMm = 420;
    a3.heightMm = 297;
    writePdf(path, {samplePage(), a3});

    // A4 portrait and A3 landscape in points.
    const std::string info = output("pdfinfo -f 1 -l 2 '" + path + "'");
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("1 size:  595.276 x 841.89 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("2 size:  1190.55 x 841.89 pts"), std::string::npos) << info;

    EXPECT_NE(output("pdftotext -f 1 -l 1 '" + path + "' -").find("KELVAR TITLE"), std::string::npos);

    // One pixel per millimetre, rows counted from the top.
    output("pdftoppm -scale-to-x 210 -scale-to-y 297 -f 1 -l 1 -singlefile '" + path + "' '" +
           dir.path("page") + "'");
    const std::string image = kvhlrtest::readFile(dir.path("page.ppm"));
    ASSERT_EQ(image.compare(0, 15, "P6\n210 297\n255\n"), 0) << image.substr(0, 20);
    // Each channel as its letter where it is bright, else '-'.
    const auto pixel = [&](std::size_t x, std::size_t y) {
        std::string channels = "rgb";
        for (std::size_t c = 0; c < 3; ++c)
            if (static_cast<unsigned char>(image[15 + 3 * (y * 210 + x) + c]) < 128)
                channels[c] = '-';
        return channels;
    };
    EXPECT_EQ(pixel(100, 297 - 30), "r--"); // the red line, 30 mm above the bottom
    EXPECT_EQ(pixel(100, 30), "rgb");       // white where a y-down page would have put it
}

TEST(PdfWriter, ErrorsNameThePathAndLeaveNothing) {
    kvhlrtest::TempDir dir;
    Page badColor = samplePage();
    badColor.layers[1].pen.color = "blue";
    const std::vector<std::pair<std::string, std::vector<Page>>> cases = {
        {dir.path("missing/sheet.pdf"), {samplePage()}},
        {dir.path("color.pdf"), {samplePage(), badColor}},
    };
    for (const auto& [path, pages] : cases) {
        try {
            writePdf(path, pages);
            ADD_FAILURE() << path << " was written";
        } catch (const InputError& error) {
            EXPECT_EQ(error.subject(), path);
        }
    }
    EXPECT_TRUE(dir.entries().empty());
}

} // namespace
