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

// The template of dialog `id`; nullptr when there is none.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace resources
