#include "facility/panel_model.h"

#include <gtest/gtest.h>

#include "text/file_faults.h"

namespace {

TEST(PanelModelHeader, CompilesOnItsOwn)
{
    panel_model panels;
    EXPECT_TRUE(panels.panels().empty());
}

const char* const layoutText = R"(<?xml version="1.0"?>
<zelm_ui name="Small" width="100" height="50">
  <control id="Take" kind="button" x="1" y="2" w="3" h="4" text="Take" statesheet="low" enabled="false"/>
  <control id="alm_a" kind="label" value="1"/>
  <control id="alm_b" kind="label"/>
  <control kind="label" text="no id: skipped"/>
</zelm_ui>)";

panel_model shownSmall()
{
    panel_layout layout;
    std::string error;
    EXPECT_TRUE(parseLayout(layoutText, layout, error)) << error;
    panel_model panels;
    panels.show("1", layout);
    return panels;
}

TEST(PanelModel, ReadsALayout)
{
    panel_layout layout;
    std::string error;
    ASSERT_TRUE(parseLayout(layoutText, layout, error)) << error;
    EXPECT_EQ(layout.name, "Small");
    EXPECT_EQ(layout.width, 100);
    ASSERT_EQ(layout.controls.size(), 3u);
    const panel_control& take = layout.controls[0];
    EXPECT_EQ(take.kind, "button");
    EXPECT_EQ(take.x + take.y + take.w + take.h, 10);
    EXPECT_FALSE(take.enabled);
    EXPECT_EQ(take.properties,
              (std::vector<std::pair<std::string, std::string>>{{"text", "Take"}, {"statesheet", "low"}}));
    EXPECT_TRUE(layout.controls[1].enabled);

    EXPECT_FALSE(loadLayout("/nonexistent/x.zelm_ui", layout, error));
    EXPECT_EQ(error, "/nonexistent/x.zelm_ui: File was not found");
}

// Every fault of a layout file, with its line; errors make the layout
// unusable, warnings leave it usable.
TEST(PanelModel, LayoutFaultsNameTheirLine)
{
    const struct {
        const char* xml;
        bool usable;
        std::vector<std::string> faults;
    } cases[] = {
        {"<panel/>", false, {"t.zelm_ui:1: not a panel layout: root element is <panel>, not <zelm_ui>"}},
        {"", false, {"t.zelm_ui:1: not well-formed XML: No document element found"}},
        {"<zelm_ui>\n<control id='a'/>\n", false, {"t.zelm_ui:2: not well-formed XML: Start-end tags mismatch"}},
        {"<zelm_ui>\n<control id='a'>\n<!x>\n</zelm_ui>",
         false,
         {"t.zelm_ui:3: not well-formed XML: Could not determine tag type"}},
        {"<zelm_ui>\n<control id='Take'/>\n<control id='Undo'/>\n<control id='Take' kind='button'/>\n</zelm_ui>",
         false,
         {"t.zelm_ui:4: control id \"Take\" again (first at line 2): commands could reach only the first"}},
        {"<zelm_ui width='wide'>\n<control kind='label'/>\n<image id='x'/>\n"
         "<control id='a' x='1O' enabled='maybe'/>\n</zelm_ui>",
         true,
         {"t.zelm_ui:1: warning: width=\"wide\" is not a number; read as 0",
          "t.zelm_ui:2: warning: a control without an id; ignored",
          "t.zelm_ui:3: warning: unknown element <image>; ignored",
          "t.zelm_ui:4: warning: x=\"1O\" is not a number; read as 0",
          "t.zelm_ui:4: warning: enabled=\"maybe\" is neither true nor false"}},
    };
    for (const auto& c : cases) {
        fault_list faults;
        panel_layout layout;
        EXPECT_EQ(parseLayout(c.xml, "t.zelm_ui", layout, faults), c.usable) << c.xml;
        std::vector<std::string> texts;
        for (const auto& fault : faults.kept())
            texts.push_back(fault.text());
        EXPECT_EQ(texts, c.faults) << c.xml;
    }
}

TEST(PanelModel, KeepsPropertiesAndEnabledState)
{
    panel_model panels = shownSmall();
    std::string problem, answer;
    EXPECT_TRUE(panels.setProperty("1", "Take", "statesheet", "high", problem));
    EXPECT_TRUE(panels.setProperty("1", "Take", "pixmap", "/images/tick.png", problem));
    EXPECT_TRUE(panels.setEnabled("1", "Take", true, problem));
    const panel_control* take = panels.find("1", "Take");
    ASSERT_NE(take, nullptr);
    EXPECT_TRUE(take->enabled);
    EXPECT_EQ(*take->property("statesheet"), "high");

    EXPECT_TRUE(panels.read("1", "Take", "statesheet", answer, problem));
    EXPECT_EQ(answer, "statesheet=high");
    EXPECT_TRUE(panels.read("1", "Take", "colour", answer, problem));
    EXPECT_EQ(answer, "colour=");
    EXPECT_TRUE(panels.read("1", "Take", "all", answer, problem));
    EXPECT_EQ(answer, "text=Take\nstatesheet=high\npixmap=/images/tick.png");
    EXPECT_TRUE(panels.read("1", "alm_b", "all", answer, problem));
    EXPECT_EQ(answer, "");
}

TEST(PanelModel, ListsControlsByPrefix)
{
    panel_model panels = shownSmall();
    std::vector<std::string> ids;
    std::string problem;
    EXPECT_TRUE(panels.list("1", "alm_", ids, problem));
    EXPECT_EQ(ids, (std::vector<std::string>{"alm_a", "alm_b"}));
    EXPECT_TRUE(panels.list("1", "", ids, problem));
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_TRUE(panels.list("1", "zzz", ids, problem));
    EXPECT_TRUE(ids.empty());
}

TEST(PanelModel, UnknownPanelsAndControlsChangeNothingAndSayWhy)
{
    panel_model panels = shownSmall();
    std::string problem, answer;
    std::vector<std::string> ids;
    EXPECT_FALSE(panels.setProperty("1", "Nope", "text", "x", problem));
    EXPECT_EQ(problem, "panel '1' (Small) has no control 'Nope'");
    EXPECT_FALSE(panels.setEnabled("2", "Take", true, problem));
    EXPECT_EQ(problem, "no panel '2' is shown");
    EXPECT_FALSE(panels.read("1", "Nope", "text", answer, problem));
    EXPECT_FALSE(panels.list("2", "", ids, problem));
    EXPECT_FALSE(panels.find("1", "Take")->enabled);
}

}  // namespace
