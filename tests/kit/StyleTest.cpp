// Line styles: settings of single kinds and style files, each changing a preset (whose pens kvhlr's
// sheets show, checked by cli/check_sheet.py).

#include "TempDir.h"
#include "kit/InputError.h"
#include "kit/sheet/Style.h"

#include <gtest/gtest.h>

namespace {

using namespace kvhlr;

TEST(Style, LineSettingsChangeWhatTheyName) {
    Style style = namedStyle("classic");
    applyLineSetting(style, "visible=0.7");
    for (int kind : {VisibleSilhouette, VisibleConcaveSharp, VisibleConvexSharp, OtherVisible})
        EXPECT_EQ(style.penOf(kind).widthMm, 0.7);
    EXPECT_EQ(style.penOf(Hidden).widthMm, 0.23) << "hidden lines are not visible ones";
    applyLineSetting(style, "hidden=0.3:3,1.5,0.5,1.5");
    EXPECT_EQ(style.penOf(Hidden).dashMm, (std::vector<double>{3, 1.5, 0.5, 1.5}));
    applyLineSetting(style, "convex-sharp=0.4:#ff0000");
    EXPECT_EQ(style.penOf(VisibleConvexSharp).color, "#ff0000");
    EXPECT_EQ(style.penOf(VisibleConvexSharp).widthMm, 0.4);
    applyLineSetting(style, "hidden=0.3:solid");
    EXPECT_TRUE(style.penOf(Hidden).dashMm.empty());
    applyLineSetting(style, "title=1");
    EXPECT_EQ(style.title.widthMm, 1.0);
    for (const char* bad : {"hidden", "bogus=1", "hidden=0", "hidden=abc", "hidden=0.2:3", "hidden=0.2:3,-1",
                            "hidden=0.2:3,x", "hidden=0.2:#12345", "hidden=0.2:#gggggg"})
        EXPECT_THROW(applyLineSetting(style, bad), InputError) << bad;
}

TEST(Style, FilesChangeAPreset) {
    kvhlrtest::TempDir dir;
    const Style style = readStyleFile(dir.write(
        "style.json", R"({"base": "drafting", "lines": {"hidden": {"dashes": [2, 1], "color": "#404040"},
                                                        "silhouettes": {"width": 0.7}}})"));
    EXPECT_EQ(style.penOf(Hidden).widthMm, 0.25);
    EXPECT_EQ(style.penOf(Hidden).dashMm, (std::vector<double>{2, 1}));
    EXPECT_EQ(style.penOf(Hidden).color, "#404040");
    EXPECT_EQ(style.penOf(VisibleSilhouette).widthMm, 0.7);
    EXPECT_EQ(style.penOf(VisibleConvexSharp).widthMm, 0.5);
    const std::pair<const char*, const char*> bad[] = {
        {"[1]", "one JSON object"}, {R"({"base": "fancy"})", "names a preset"}, {"{", "not a valid JSON style file"},
        {R"({"lines": {"hidden": {"width": "thin"}}})", "\"width\" must be a number"},
        {R"({"lines": {"hidden": {"pen": 1}}})", "unexpected \"pen\""}, {R"({"colour": 1})", "unexpected \"colour\""}};
    for (const auto& [text, reason] : bad) {
        std::string refusal;
        try {
            readStyleFile(dir.write("bad.json", text));
        } catch (const InputError& error) {
            refusal = error.reason();
        }
        EXPECT_NE(refusal.find(reason), std::string::npos) << text << ": " << refusal;
    }
    EXPECT_THROW(readStyleFile(dir.path("missing.json")), InputError);
}

} // namespace
