#include "scenario/panel_picture.h"

#include <gtest/gtest.h>

#include <sstream>

#include "text/transcript.h"

namespace {

TEST(PanelPictureHeader, CompilesOnItsOwn)
{
    picture_style style;
    EXPECT_TRUE(style.unicode);
}

panel_layout takeUndoLayout()
{
    std::string xml = "<zelm_ui name=\"TessalyQ\">";
    for (const char* id : {"Take", "Undo", "Clear"})
        xml += std::string("<control id=\"") + id + "\" kind=\"button\" text=\"" + id + "\"/>";
    for (int level = 1; level <= 3; ++level)
        for (const char* prefix : {"ID_L", "Enable_L", "Src_L", "Dst_L", "Src_UL", "Dst_UL"})
            xml += std::string("<control id=\"") + prefix + std::to_string(level) + "\" kind=\"label\"/>";
    xml += "</zelm_ui>";
    panel_layout layout;
    std::string error;
    EXPECT_TRUE(parseLayout(xml, layout, error)) << error;
    return layout;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

TEST(PanelPicture, TakeUndoPanelShowsLevelsNamesAndButtons)
{
    panel_layout layout = takeUndoLayout();
    layout.control("ID_L1")->setProperty("text", "Video");
    layout.control("Enable_L1")->setProperty("pixmap", "/images/tick.png");
    layout.control("Enable_L2")->setProperty("pixmap", "/images/cross.png");
    layout.control("Src_L1")->setProperty("text", "CAM 1");
    layout.control("Dst_L1")->setProperty("text", "A very long destination name");
    layout.control("Src_UL1")->setProperty("text", "VTR 1");
    layout.control("Take")->setProperty("statesheet", "take_high");
    layout.control("Undo")->enabled = false;

    std::string picture = drawPanel("1", layout, picture_style{true, false});
    std::vector<std::string> lines = linesOf(picture);
    ASSERT_EQ(lines.size(), 10u);
    // Every line of the frame has the same width.
    for (const auto& line : lines)
        EXPECT_EQ(displayWidth(line), displayWidth(lines[0])) << line;
    EXPECT_EQ(lines[0].rfind("╭─ panel 1 · TessalyQ ", 0), 0u);
    EXPECT_NE(lines[2].find("Video     [✔] CAM 1         A very long …"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("VTR 1"), std::string::npos);
    EXPECT_NE(lines[3].find("(level 2) [✘]"), std::string::npos) << lines[3];
    EXPECT_NE(lines[7].find("║   Take   ║ enabled"), std::string::npos) << lines[7];
    EXPECT_NE(lines[7].find("│   Undo   │ disabled"), std::string::npos) << lines[7];
    EXPECT_NE(lines[8].find("╚══════════╝ take_high"), std::string::npos) << lines[8];
}

// The buttons stand in the picture as they stand on the panel: left to
// right by the layout's x, whatever their ids.
TEST(PanelPicture, ButtonsFollowTheLayoutsOrder)
{
    panel_layout layout = takeUndoLayout();
    const std::pair<const char*, int> places[][3] = {
        {{"Take", 130}, {"Clear", 236}, {"Undo", 342}},
        {{"Undo", 10}, {"Take", 120}, {"Clear", 400}},
    };
    for (const auto& order : places) {
        for (const auto& place : order)
            layout.control(place.first)->x = place.second;
        std::vector<std::string> lines = linesOf(drawPanel("1", layout, picture_style{true, false}));
        ASSERT_EQ(lines.size(), 10u);
        std::size_t first = lines[7].find(order[0].first);
        std::size_t second = lines[7].find(order[1].first);
        std::size_t third = lines[7].find(order[2].first);
        EXPECT_TRUE(first < second && second < third && third != std::string::npos) << lines[7];
    }
}

// Names in any script keep the frame straight: wide characters take two
// columns, combining marks none, control characters are shown escaped.
TEST(PanelPicture, WideAndCombiningNamesKeepTheFrameAligned)
{
    panel_layout layout = takeUndoLayout();
    layout.control("ID_L1")->setProperty("text", "映像");
    layout.control("Src_L1")->setProperty("text", "カメラ 1 長い名前");
    layout.control("Dst_L1")->setProperty("text", "🎬 Studio 🎬");
    layout.control("Src_L2")->setProperty("text", "Cafe\u0301 e\u0301e\u0301e\u0301");
    layout.control("Dst_L2")->setProperty("text", "MON\x1b[2J 2");
    layout.control("Take")->setProperty("text", "確定");
    std::vector<std::string> lines = linesOf(drawPanel("1", layout, picture_style{true, false}));
    ASSERT_EQ(lines.size(), 10u);
    for (const auto& line : lines)
        EXPECT_EQ(displayWidth(line), 78u) << line;
    EXPECT_NE(lines[2].find("映像"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("MON\\x1b[2J 2"), std::string::npos) << lines[3];
}

TEST(PanelPicture, AsciiPictureHasOnlyAsciiCharacters)
{
    panel_layout layout = takeUndoLayout();
    layout.control("Enable_L1")->setProperty("pixmap", "/images/tick.png");
    std::string picture = drawPanel("1", layout, picture_style{false, false});
    for (unsigned char c : picture)
        EXPECT_LT(c, 128u);
    EXPECT_NE(picture.find("[v]"), std::string::npos);
}

TEST(PanelPicture, OtherLayoutsAreListed)
{
    panel_layout layout;
    std::string error;
    ASSERT_TRUE(parseLayout("<zelm_ui name=\"Alarms\"><control id=\"alm_a\" kind=\"label\" value=\"2\"/>"
                            "<control id=\"AckAll\" kind=\"button\" enabled=\"false\"/></zelm_ui>",
                            layout, error));
    EXPECT_EQ(drawPanel("4", layout, picture_style{false, false}), "panel 4 (Alarms)\n"
                                                                   "  alm_a          label    enabled   value=2\n"
                                                                   "  AckAll         button   disabled\n");
}

TEST(PanelPicture, RouterTableShowsNamesAndChanges)
{
    device_model router(31, "Video", true);
    router.setSize(4, 3);
    router.setName(0, 2, "CAM|2");
    router.setName(1, 3, "MON|3");
    router.route(2, 3);
    EXPECT_EQ(drawRouter(router, 1, 0, picture_style{false, false}),
              "router 31 \"Video\"  4 sources, 3 destinations\n"
              "  3    MON|3          <- 2    CAM|2             changed\n");
    EXPECT_EQ(drawRouter(router, 1, 2, picture_style{false, false}), "router 31 \"Video\"  4 sources, 3 destinations\n"
                                                                     "  1                   <- 0    (park)\n"
                                                                     "  2                   <- 0    (park)\n");
    router.setOnline(false);
    EXPECT_NE(drawRouter(router, 5, 9, picture_style{false, false}).find("OFFLINE\n  (no destinations)"),
              std::string::npos);
}

// In colour, an armed Take's face shows its flash: red on for take_high,
// red for take_low, plain once the sheet is cleared.
TEST(PanelPicture, TakesFlashShowsInColour)
{
    panel_layout layout = takeUndoLayout();
    const std::pair<const char*, const char*> sheets[] = {{"take_high", "\x1b[1;7;31m   Take   \x1b[0m"},
                                                          {"take_low", "\x1b[31m   Take   \x1b[0m"},
                                                          {"", "\x1b[1m   Take   \x1b[0m"}};
    for (const auto& sheet : sheets) {
        layout.control("Take")->setProperty("statesheet", sheet.first);
        std::string picture = drawPanel("1", layout, picture_style{true, true});
        EXPECT_NE(picture.find(sheet.second), std::string::npos) << sheet.first;
    }
}

}  // namespace
