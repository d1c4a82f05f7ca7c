#include "resources/resources.h"

#include <map>

#include "resources/resource_ids.h"

namespace resources {

using namespace ids;

namespace {

MenuItem Item(const char* text, int id)
{
    return {MenuItem::Command, text, id, {}, false};
}

MenuItem Separator()
{
    return {MenuItem::Separator, "", 0, {}, false};
}

MenuItem Popup(const char* text, std::vector<MenuItem> items)
{
    return {MenuItem::Popup, text, 0, std::move(items), false};
}

}  // namespace

const std::vector<MenuItem>& MainMenu()
{
    static const std::vector<MenuItem> menu = [] {
        MenuItem recent = Item("Recent File", ID_FILE_MRU_FILE1);
        recent.grayed = true;
        const auto fileUtilities = [] {
            return std::vector<MenuItem>{Item("File Manipulation", ID_FILE_MANIPULATION),
                                         Item("Export To Excel", ID_EXPORT_TO_EXCEL),
                                         Item("Asset Trend...", ID_ASSET_TREND),
                                         Item("Export Readings...", ID_EXPORT_READINGS),
                                         Item("Due Tests...", ID_DUE_TESTS)};
        };
        return std::vector<MenuItem>{
            Popup("&File",
                  {
                      Item("Recall Test\tCtrl+O", ID_RECALL_TEST),
                      Separator(),
                      Item("Close Test", ID_CLOSE_TEST),
                      Separator(),
                      Item("Edit Test", ID_EDIT_TEST),
                      Item("Save Test", ID_SAVE_TEST),
                      Separator(),
                      Item("Retrieve Test Record...\tCtrl+D", ID_RETRIEVE_TEST_RECORD),
                      Separator(),
                      Item("Return KEL-7300 to Panel Control", ID_RETURN_TO_PANEL),
                      Separator(),
                      Popup("File Utilities", fileUtilities()),
                      Item("Application Setup...", ID_APPLICATION_SETUP),
                      Separator(),
                      Item("&Print...\tCtrl+P", ID_FILE_PRINT),
                      Item("Print Pre&view", ID_FILE_PRINT_PREVIEW),
                      Item("P&rint Setup...", ID_FILE_PRINT_SETUP),
                      Separator(),
                      recent,
                      Separator(),
                      Item("E&xit", ID_APP_EXIT),
                  }),
            Item("Recall-Test", ID_RECALL_TEST),
            Item("Retrieve Test Record", ID_RETRIEVE_TEST_RECORD),
            Popup("File-Utilities", fileUtilities()),
            Item("Application-Setup", ID_APPLICATION_SETUP),
            Popup("&Help", {Item("&About KEL-7300...", ID_APP_ABOUT)}),
        };
    }();
    return menu;
}

const std::vector<Accelerator>& Accelerators()
{
    static const std::vector<Accelerator> table = {
        {"Ctrl+O", ID_RECALL_TEST},       {"Ctrl+D", ID_RETRIEVE_TEST_RECORD}, {"Ctrl+P", ID_FILE_PRINT},
        {"Ctrl+N", ID_FILE_NEW},          {"Ctrl+S", ID_FILE_SAVE},            {"Ctrl+C", ID_EDIT_COPY},
        {"Ctrl+Ins", ID_EDIT_COPY},       {"Ctrl+V", ID_EDIT_PASTE},           {"Shift+Ins", ID_EDIT_PASTE},
        {"Ctrl+X", ID_EDIT_CUT},          {"Shift+Del", ID_EDIT_CUT},          {"Ctrl+Z", ID_EDIT_UNDO},
        {"Alt+Backspace", ID_EDIT_UNDO},  {"F6", ID_NEXT_PANE},                {"Shift+F6", ID_PREV_PANE},
    };
    return table;
}

const std::string& LoadString(int id)
{
    static const std::map<int, std::string> strings = {
        {IDR_MAINFRAME, "KEL-7300 Version " KEL_VERSION "\n\nKel\nKEL Files (*.kel)\n.kel\nKel.Document\nKel Document"},
        {AFX_IDS_APP_TITLE, "KEL-7300"},
        {AFX_IDS_IDLEMESSAGE, "Ready"},
        {ID_INDICATOR_CAPS, "CAP"},
        {ID_INDICATOR_NUM, "NUM"},
        {ID_INDICATOR_SCRL, "SCRL"},
        {ID_RETRIEVE_TEST_RECORD, "Display the KEL-7300 Test Directory"},
        {ID_RETURN_TO_PANEL, "Returns KEL-7300 to control panel."},
        {ID_RECALL_TEST, "Load a test from disk."},
        {ID_APPLICATION_SETUP, "Display Application settings"},
        {ID_CLOSE_TEST_PROMPT, "Closes the current test"},
        {ID_EDIT_TEST, "Edit test header"},
        {ID_SAVE_TEST, "Save test"},
        {ID_FILE_MANIPULATION, "Manipulate files"},
        {ID_EXPORT_TO_EXCEL, "Export files to Excel"},
        {ID_ASSET_TREND, "Show the trend of each asset across all its tests"},
        {ID_EXPORT_READINGS, "Export the readings of tests as numbers with charts (.xlsx)"},
        {ID_DUE_TESTS, "List the archive's assets whose next test is overdue or due within 30 days"},
        // The framework's own commands keep their standard prompts.
        {ID_FILE_NEW, "Create a new document\nNew"},
        {ID_FILE_SAVE, "Save the active document\nSave"},
        {ID_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
        {ID_FILE_PRINT, "Print the active document\nPrint"},
        {ID_FILE_PRINT_DIRECT, "Print the active document using current options\nQuick Print"},
        {ID_FILE_PRINT_PREVIEW, "Display full pages\nPrint Preview"},
        {ID_FILE_MRU_FILE1, "Open this document"},
        {ID_FILE_MRU_FILE1 + 1, "Open this document"},
        {ID_FILE_MRU_FILE1 + 2, "Open this document"},
        {ID_FILE_MRU_FILE1 + 3, "Open this document"},
        {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
        {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    };
    static const std::string none;
    const auto it = strings.find(id);
    return it == strings.end() ? none : it->second;
}

std::string Prompt(int id)
{
    // Close Test has no prompt of its own; the one below its id names it.
    const std::string& text = LoadString(id == ID_CLOSE_TEST ? ID_CLOSE_TEST_PROMPT : id);
    return text.substr(0, text.find('\n'));
}

std::string DocString(DocField field)
{
    const std::string& text = LoadString(IDR_MAINFRAME);
    std::size_t start = 0;
    for (int i = 0; i < field; ++i) {
        start = text.find('\n', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    return text.substr(start, text.find('\n', start) - start);
}

}  // namespace resources
