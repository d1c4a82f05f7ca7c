#include "ui/edit_test_dialog.h"

#include <QLineEdit>
#include <QValidator>

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

// A test file holds its texts in Latin-1: a character beyond it is refused as
// it is typed (or pasted), and the user is told why, instead of a "?" saved later.
class Latin1Only : public QValidator {
public:
    Latin1Only(std::function<void(const QString&)>& say, QObject* parent) : QValidator(parent), say_(say) {}
    State validate(QString& input, int&) const override
    {
        for (const QChar c : input) {
            if (c.unicode() <= 0xFF) continue;
            if (say_) say_(QStringLiteral("\u201C%1\u201D can't be stored in a test file: its texts hold Latin-1 "
                                          "characters only").arg(c));
            return Invalid;
        }
        return Acceptable;
    }

private:
    std::function<void(const QString&)>& say_;
};

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
    // A header text holds 20 characters of Latin-1.
    for (const int id : {resources::IDC_COMPANY, resources::IDC_DESCRIPTION, resources::IDC_LOCATION,
                         resources::IDC_OPERATOR}) {
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id))) {
            edit->setMaxLength(20);
            edit->setValidator(new Latin1Only(say, edit));
        }
    }
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
