#include "resources/dialog_templates.h"

#include <map>

namespace resources {

namespace {

using C = ControlTemplate;

const std::map<int, DialogTemplate>& Templates()
{
    static const std::map<int, DialogTemplate> templates = {
        {IDD_ABOUTBOX,
         {IDD_ABOUTBOX, "About KEL-7300", 170, 88, false,
          {
              {IDC_STATIC, C::Icon, "", 8, 10, 20, 20},
              {IDC_STATIC, C::Static, "Version " KEL_VERSION, 40, 10, 119, 8, C::NoPrefix},
              {IDC_REVISION, C::Static, "KEL Rev: 1.20", 41, 24, 78, 9},
              {IDOK, C::PushButton, "OK", 75, 67, 32, 14, C::Default},
              {IDC_STATIC, C::GroupBox, "", 2, 0, 166, 86},
          }}},
        {IDD_TEST_DIRECTORY,
         {IDD_TEST_DIRECTORY, "KEL-7300 Directory", 390, 191, false,
          {
              {IDCANCEL, C::PushButton, "Cancel", 290, 168, 50, 14},
              {IDC_TEST_LIST, C::ListView, "List1", 2, 2, 386, 132, C::ShowSelection | C::MultiSelect},
              {IDC_STATIC, C::GroupBox, "", 2, 158, 386, 30},
              {IDC_STATIC, C::GroupBox, "", 2, 134, 386, 26},
              {IDC_FILE_PREFIX, C::Edit, "", 48, 142, 74, 12},
              {IDC_STATIC, C::Static, "File Prefix:", 8, 142, 36, 12},
              {IDC_DELETE_TEST, C::PushButton, "Delete Test", 24, 168, 56, 14},
              {IDC_DOWNLOAD_TEST, C::PushButton, "Download Test", 156, 168, 60, 14},
          }}},
        {IDD_TRANSFER,
         {IDD_TRANSFER, "Transferring Test", 136, 72, false,
          {
              {IDC_STATIC, C::Static, "Test:", 10, 12, 22, 12},
              {IDC_STATIC, C::Static, "Bytes:", 10, 28, 26, 12},
              {IDC_ABORT, C::PushButton, "Abort", 46, 50, 42, 12},
              {IDC_STATIC, C::GroupBox, "", 2, 0, 132, 68},
              {IDC_TEST_TEXT, C::Static, "", 40, 12, 62, 12},
              {IDC_BYTES_TEXT, C::Static, "", 40, 28, 62, 12},
          }}},
        {IDD_APP_SETUP,
         {IDD_APP_SETUP, "Application Setup", 210, 97, false,
          {
              {IDOK, C::PushButton, "OK", 28, 72, 50, 14, C::Default},
              {IDCANCEL, C::PushButton, "Cancel", 146, 72, 50, 14},
              {IDC_PORT_LIST, C::ComboBox, "", 140, 24, 59, 265, C::None, {"COM1:", "COM2:", "COM3:", "COM4:"}},
              {IDC_STATIC, C::Static, "Port:", 114, 26, 22, 12},
              {IDC_STATIC, C::GroupBox, "", 2, 56, 206, 38},
              {IDC_LANDSCAPE, C::RadioButton, "Landscape", 18, 20, 52, 10, C::GroupStart},
              {IDC_PORTRAIT, C::RadioButton, "Portrait", 18, 36, 46, 12},
              {IDC_STATIC, C::GroupBox, "Default Print Orientation", 2, 4, 96, 52},
              {IDC_STATIC, C::GroupBox, "Communications", 104, 4, 104, 52},
          }}},
        {IDD_RECALL_TEST,
         {IDD_RECALL_TEST, "Recall Test", 431, 278, true,
          {
              {IDC_STATIC, C::Static, "Shot Path:", 5, 6, 38, 11},
              {IDC_FOLDER, C::Static, "", 49, 5, 322, 12, C::Sunken},
              {IDC_SHOT_PATH, C::PushButton, "Shot Path", 382, 4, 43, 13},
              {IDC_FILE_LIST, C::ListView, "", 2, 21, 426, 98, C::MultiSelect},
              {IDC_RESISTANCE_PREVIEW, C::OwnerDrawButton, "", 2, 124, 210, 109},
              {IDC_CURRENT_PREVIEW, C::OwnerDrawButton, "", 217, 124, 210, 109},
              {IDC_STATIC, C::GroupBox, "", 2, 234, 425, 40},
              {IDC_STATIC, C::Static, "Click on file to preview it.", 79, 248, 136, 14, C::Centered},
              {IDOK, C::PushButton, "OK", 303, 251, 50, 14, C::Default},
              {IDCANCEL, C::PushButton, "Cancel", 366, 251, 50, 14},
          }}},
        {IDD_EDIT_TEST,
         {IDD_EDIT_TEST, "Edit Test", 226, 110, false,
          {
              {IDC_DESCRIPTION, C::Edit, "", 58, 7, 156, 12},
              {IDC_LOCATION, C::Edit, "", 58, 23, 156, 12},
              {IDC_OPERATOR, C::Edit, "", 58, 39, 156, 12},
              {IDC_COMPANY, C::Edit, "", 58, 55, 156, 12},
              {IDOK, C::PushButton, "OK", 96, 85, 50, 14, C::Default},
              {IDCANCEL, C::PushButton, "Cancel", 164, 85, 50, 14},
              {IDC_STATIC, C::Static, "Description:", 6, 10, 43, 9},
              {IDC_STATIC, C::Static, "Company:", 6, 58, 52, 9},
              {IDC_STATIC, C::Static, "Operator:", 6, 42, 44, 9},
              {IDC_STATIC, C::Static, "Location:", 6, 26, 52, 9},
          }}},
    };
    return templates;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    const auto& templates = Templates();
    const auto it = templates.find(id);
    return it == templates.end() ? nullptr : &it->second;
}

}  // namespace resources
