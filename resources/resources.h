// The program's resources as data: the main menu, the accelerator table and
// the string table. Menus, shortcuts and the status bar are built from these
// tables, so an id or a text lives in one place.
#pragma once

#include <string>
#include <vector>

namespace resources {

struct MenuItem {
    enum Kind { Command, Separator, Popup };
    Kind kind = Command;
    std::string text;  // may carry "\t" and the shortcut it shows
    int id = 0;        // commands only
    std::vector<MenuItem> items;  // popups only
    bool grayed = false;
};

// Menu 128: the menu bar's entries, popups and direct commands alike.
const std::vector<MenuItem>& MainMenu();

struct Accelerator {
    // A key as Qt's portable text names it ("Ctrl+O", "Shift+Insert", "F6").
    const char* key;
    int id;
};

// Accelerator table 128.
const std::vector<Accelerator>& Accelerators();

// String `id` of the string table, empty when there is none.
const std::string& LoadString(int id);
// The status-bar prompt of a command: the text before the line break of its string.
std::string Prompt(int id);

// String 128, the document string, and its fields (separated by line feeds).
enum DocField { WindowTitle, DocName, FileNewName, FilterName, FilterExt, RegFileTypeId, RegFileTypeName };
std::string DocString(DocField field);

}  // namespace resources
