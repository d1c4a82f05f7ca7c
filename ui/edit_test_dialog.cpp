#include "ui/edit_test_dialog.h"

#include <cstdio>

#include "testfile/kel_file.h"

namespace {

void TrimTrailingBlanks(std::string& text)
{
    const std::size_t end = text.find_last_not_of(" \t\r\n\v\f");
    text.erase(end == std::string::npos ? 0 : end + 1);
}

// At most the first 20 characters, always terminated.
void Store(char (&field)[21], const std::string& text)
{
    std::snprintf(field, sizeof field, "%.20s", text.c_str());
}

}  // namespace

dlgTestEdit::dlgTestEdit(QWidget* parent) : Dialog(resources::IDD_EDIT_TEST, parent) {}

void dlgTestEdit::DoDataExchange(platform::DataExchange& dx)
{
    platform::DDX_Text(dx, resources::IDC_COMPANY, companyText);
    platform::DDX_Text(dx, resources::IDC_DESCRIPTION, descriptionText);
    platform::DDX_Text(dx, resources::IDC_LOCATION, locationText);
    platform::DDX_Text(dx, resources::IDC_OPERATOR, operatorText);
}

bool dlgTestEdit::OnInitDialog()
{
    Dialog::OnInitDialog();
    if (record) {
        companyText = record->company;
        locationText = record->location;
        operatorText = record->operatorName;
        descriptionText = record->description;
    }
    for (std::string* text : {&companyText, &locationText, &operatorText, &descriptionText})
        TrimTrailingBlanks(*text);
    UpdateData(false);
    return true;
}

void dlgTestEdit::OnOK()
{
    Dialog::OnOK();
    if (!record || result() != resources::IDOK) return;
    Store(record->company, companyText);
    Store(record->location, locationText);
    Store(record->operatorName, operatorText);
    Store(record->description, descriptionText);
}
