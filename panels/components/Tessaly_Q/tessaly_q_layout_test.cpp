// The layout file and images the panel names, checked against the names the
// panel writes to.
#include "tessaly_q_controls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace ctl = tessaly_q_controls;

TEST(TessalyQControlsHeader, CompilesOnItsOwn) { EXPECT_STREQ(ctl::layoutFile, "TessalyQ.zelm_ui"); }

namespace {

std::string componentDir()
{
    if (const char* source = std::getenv("ZELM_SOURCE_DIR"))
        return std::string(source) + "/panels/components/Tessaly_Q";
    return TESSALY_Q_SOURCE_DIR;
}

bool isPng(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    in.read(head, sizeof head);
    return in.gcount() == 8 && std::string(head, 8) == std::string("\x89PNG\r\n\x1a\n", 8);
}

// Every control the panel writes to, with the kind the layout must give it.
std::map<std::string, std::string> contract()
{
    std::map<std::string, std::string> kinds = {
        {ctl::take, "button"}, {ctl::undo, "button"}, {ctl::clear, "button"}, {ctl::background, "background"}};
    for (int entry = 0; entry < 3; ++entry) {
        kinds[ctl::caption[entry]] = "button";
        kinds[ctl::enable[entry]] = "image-button";
        kinds[ctl::sourceName[entry]] = "label";
        kinds[ctl::destName[entry]] = "label";
        kinds[ctl::undoSourceName[entry]] = "label";
        kinds[ctl::undoDestName[entry]] = "label";
    }
    return kinds;
}

class TessalyQLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = componentDir() + "/" + ctl::layoutFile;
        const pugi::xml_parse_result parsed = document.load_file(path.c_str());
        ASSERT_TRUE(parsed) << path << ": " << parsed.description();
        root = document.child("zelm_ui");
        ASSERT_TRUE(root) << "no zelm_ui element";
    }

    pugi::xml_document document;
    pugi::xml_node root;
};

}  // namespace

TEST_F(TessalyQLayout, HoldsExactlyTheControlsThePanelWritesToWithTheirKinds)
{
    std::map<std::string, std::string> found;
    for (pugi::xml_node control : root.children("control")) {
        const std::string id = control.attribute("id").as_string();
        EXPECT_EQ(found.count(id), 0u) << id << " appears twice";
        found[id] = control.attribute("kind").as_string();
    }
    EXPECT_EQ(found, contract());
}

TEST_F(TessalyQLayout, EveryControlLiesInsideThePanel)
{
    EXPECT_STREQ(root.attribute("name").as_string(), "TessalyQ");
    const int width = root.attribute("width").as_int();
    const int height = root.attribute("height").as_int();
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    for (pugi::xml_node control : root.children("control")) {
        SCOPED_TRACE(control.attribute("id").as_string());
        const int x = control.attribute("x").as_int(-1);
        const int y = control.attribute("y").as_int(-1);
        const int w = control.attribute("w").as_int(0);
        const int h = control.attribute("h").as_int(0);
        EXPECT_GE(x, 0);
        EXPECT_GE(y, 0);
        EXPECT_GT(w, 0);
        EXPECT_GT(h, 0);
        EXPECT_LE(x + w, width);
        EXPECT_LE(y + h, height);
    }
}

TEST_F(TessalyQLayout, StartsLikeANewPanelTakeAndUndoDisabledEveryLevelTicked)
{
    for (pugi::xml_node control : root.children("control")) {
        const std::string id = control.attribute("id").as_string();
        const bool startsDisabled = id == ctl::take || id == ctl::undo;
        EXPECT_EQ(control.attribute("enabled").as_bool(true), !startsDisabled) << id;
    }
    for (const char* enable : ctl::enable) {
        pugi::xml_node control = root.find_child_by_attribute("control", "id", enable);
        EXPECT_STREQ(control.attribute("pixmap").as_string(), ctl::tickImage) << enable;
    }
}

TEST_F(TessalyQLayout, TheLevelImagesShipAsPngFiles)
{
    for (const char* image : {ctl::tickImage, ctl::crossImage})
        EXPECT_TRUE(isPng(componentDir() + image)) << image;
}
