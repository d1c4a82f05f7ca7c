// The dialog templates: each dialog's caption, size and controls with their
// ids, texts and rectangles in dialog units (a quarter of the dialog font's
// average character width across, an eighth of its height down).
#pragma once

#include <string>
#include <vector>

namespace resources {

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;

struct ControlTemplate {
    enum Kind { Static, PushButton, Edit, ComboBox, ListView, GroupBox, RadioButton, OwnerDrawButton, Icon };
    enum Flags : unsigned {
        None = 0,
        Default = 1u << 0,         // the default push button
        GroupStart = 1u << 1,      // the first radio button of a group
        Sunken = 1u << 2,
        Centered = 1u << 3,        // centred static text
        MultiSelect = 1u << 4,     // list views: several rows may be selected
        ShowSelection = 1u << 5,   // list views: the selection stays visible without focus
        NoPrefix = 1u << 6,        // an '&' is shown, not a mnemonic
    };
    int id = IDC_STATIC;
    Kind kind = Static;
    std::string text{};
    int x = 0, y = 0, cx = 0, cy = 0;
    unsigned flags = None;
    std::vector<std::string> items{};  // combo boxes: the initial entries
};

struct DialogTemplate {
    int id = 0;
    std::string caption{};
    int cx = 0, cy = 0;
    bool centered = false;
    std::vector<ControlTemplate> controls{};
};

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_TEST_DIRECTORY = 131;
constexpr int IDD_TRANSFER = 132;
constexpr int IDD_APP_SETUP = 134;
constexpr int IDD_RECALL_TEST = 136;
constexpr int IDD_EDIT_TEST = 139;

// The controls the dialogs reach, named once for the templates and the dialogs.
// About
constexpr int IDC_REVISION = 1000;
// KEL-7300 Directory
constexpr int IDC_TEST_LIST = 1001;
constexpr int IDC_DELETE_TEST = 1002;
constexpr int IDC_FILE_PREFIX = 1005;
constexpr int IDC_DOWNLOAD_TEST = 1006;
// Transferring Test
constexpr int IDC_ABORT = 1002;
constexpr int IDC_TEST_TEXT = 1003;
constexpr int IDC_BYTES_TEXT = 1004;
// Application Setup
constexpr int IDC_PORT_LIST = 1008;
constexpr int IDC_LANDSCAPE = 1009;
constexpr int IDC_PORTRAIT = 1010;
// Recall Test
constexpr int IDC_FILE_LIST = 1001;
constexpr int IDC_CURRENT_PREVIEW = 1014;
constexpr int IDC_RESISTANCE_PREVIEW = 1019;
constexpr int IDC_FOLDER = 1022;
constexpr int IDC_SHOT_PATH = 1023;
// Edit Test
constexpr int IDC_LOCATION = 1006;
constexpr int IDC_OPERATOR = 1007;
constexpr int IDC_COMPANY = 1008;
constexpr int IDC_DESCRIPTION = 1021;

// The template of dialog `id`; nullptr when there is none.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace resources
