// The program's message boxes as QMessageBox: ShowMessage and ShowWarning
// without an owner window, the application's box owned by the main window
// with the warning icon.
#pragma once

#include <QPointer>
#include <QWidget>

#include "services/message_box.h"

namespace platform {

class QtMessagePresenter : public MessagePresenter {
public:
    // The owner of the application's message box; none until the window exists.
    void SetMainWindow(QWidget* window) { mainWindow_ = window; }
    int Present(MessageKind kind, const char* caption, const char* text) override;
    // A question box owned by the window in front (the main window, or the dialog that asks).
    int Ask(const char* caption, const char* question, const std::vector<std::string>& choices,
            int safeChoice) override;

private:
    QPointer<QWidget> mainWindow_;
};

}  // namespace platform
