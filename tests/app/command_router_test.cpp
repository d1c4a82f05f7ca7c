#include "app/command_router.h"

#include <gtest/gtest.h>

#include <string>

#include "display/view_zoom.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"

namespace {

struct Target : CCmdTarget {
    Target(std::string targetName, std::vector<int> handled, std::string* calls)
        : name(std::move(targetName)), handles(std::move(handled)), log(calls) {}
    bool HasCommand(int id) const override { return std::find(handles.begin(), handles.end(), id) != handles.end(); }
    bool OnCommand(int id) override
    {
        if (!HasCommand(id)) return false;
        *log += name;
        return true;
    }
    bool OnUpdateCommand(CCmdUI& ui) override
    {
        if (ui.id != updateId) return false;
        ui.Enable(enable);
        return true;
    }
    std::string name;
    std::vector<int> handles;
    std::string* log;
    int updateId = -1;
    bool enable = false;
};

TEST(CommandRouter, FirstTargetThatHandlesACommandRunsIt)
{
    std::string log;
    Target view("view", {1, 2}, &log), frame("frame", {2, 3}, &log), app("app", {3, 4}, &log);
    CommandRouter router;
    router.SetTargets({&view, nullptr, &frame, &app});
    for (int id : {1, 2, 3, 4}) EXPECT_TRUE(router.Route(id));
    EXPECT_EQ(log, "viewviewframeapp");
    EXPECT_FALSE(router.Route(5));  // Ctrl+S, Copy, Paste: nothing happens

    frame.updateId = 7;  // an update handler decides, handler or not
    EXPECT_FALSE(router.IsEnabled(7));
    frame.enable = true;
    EXPECT_TRUE(router.IsEnabled(7));
    EXPECT_TRUE(router.IsEnabled(4));
    EXPECT_FALSE(router.IsEnabled(5));
}

TEST(ToggleZoom, HalvesAndBoundaries)
{
    const struct {
        int zoomedBefore, x, y;
        bool redraw;
        int zoomed, zoomResistance;
    } cases[] = {
        {0, 100, 300, false, 0, 7},   // y = height / 2: the header half
        {0, 100, 301, true, 1, 1},    // one lower: the plots, left half
        {0, 400, 301, true, 1, 0},    // x = width / 2: the current plot
        {0, 399, 599, true, 1, 1},
        {1, 10, 10, true, 0, 7},      // zoomed: any click brings the page back
    };
    for (const auto& c : cases) {
        int zoomed = c.zoomedBefore, zoomResistance = 7;
        EXPECT_EQ(ToggleZoom(c.x, c.y, 800, 601, zoomed, zoomResistance), c.redraw);
        EXPECT_EQ(zoomed, c.zoomed);
        EXPECT_EQ(zoomResistance, c.zoomResistance);
    }
}

TEST(Resources, MenuPromptsAcceleratorsAndDocumentString)
{
    const auto& menu = resources::MainMenu();
    std::vector<std::string> bar;
    for (const auto& entry : menu) bar.push_back(entry.text);
    EXPECT_EQ(bar, (std::vector<std::string>{"&File", "Recall-Test", "Retrieve Test Record", "File-Utilities",
                                             "Application-Setup", "&Help"}));
    std::string file;
    for (const auto& item : menu[0].items)
        file += item.kind == resources::MenuItem::Separator ? "---|" : item.text + "=" + std::to_string(item.id) + "|";
    EXPECT_EQ(file,
              "Recall Test\tCtrl+O=32774|---|Close Test=32777|---|Edit Test=32779|Save Test=32780|---|"
              "Retrieve Test Record...\tCtrl+D=32772|---|Return KEL-7300 to Panel Control=32773|---|"
              "File Utilities=0|Application Setup...=32775|---|&Print...\tCtrl+P=57607|Print Pre&view=57609|"
              "P&rint Setup...=57606|---|Recent File=57616|---|E&xit=57665|");
    EXPECT_EQ(menu[0].items[11].items[1].id, ids::ID_EXPORT_TO_EXCEL);
    EXPECT_EQ(menu[5].items[0].text, "&About KEL-7300...");

    EXPECT_EQ(resources::Prompt(ids::ID_RECALL_TEST), "Load a test from disk.");
    EXPECT_EQ(resources::Prompt(ids::ID_RETURN_TO_PANEL), "Returns KEL-7300 to control panel.");
    EXPECT_EQ(resources::Prompt(ids::ID_FILE_PRINT), "Print the active document");
    EXPECT_EQ(resources::Prompt(ids::ID_CLOSE_TEST), "Closes the current test");
    EXPECT_EQ(resources::LoadString(ids::AFX_IDS_IDLEMESSAGE), "Ready");

    EXPECT_EQ(resources::DocString(resources::WindowTitle), "KEL-7300 Version 1.12");
    EXPECT_EQ(resources::DocString(resources::DocName), "");
    EXPECT_EQ(resources::DocString(resources::FilterName), "KEL Files (*.kel)");
    EXPECT_EQ(resources::DocString(resources::RegFileTypeName), "Kel Document");
    EXPECT_EQ(resources::Accelerators().size(), 15u);
}

}  // namespace
