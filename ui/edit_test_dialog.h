// The Edit Test dialog: the four free texts of one loaded test, edited in
// memory; Save Test writes them into the test file.
#pragma once

#include <functional>
#include <string>

#include <QString>

#include "qt/dialog.h"

class CKELFile;

class dlgTestEdit : public platform::Dialog {
public:
    explicit dlgTestEdit(QWidget* parent = nullptr);

    // Fills the boxes from `record`, without the trailing blanks.
    bool OnInitDialog() override;
    // Copies the boxes into `record`, at most 20 characters each.
    void OnOK() override;

    std::string companyText;
    std::string descriptionText;
    std::string locationText;
    std::string operatorText;
    CKELFile* record = nullptr;
    // Told when a typed character is refused (a test file holds Latin-1 only): the status line shows it.
    std::function<void(const QString&)> say;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;
};
