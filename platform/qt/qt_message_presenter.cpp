#include "platform/qt/qt_message_presenter.h"

#include <QMessageBox>

#include "platform/qt/qt_text.h"

namespace platform {

int QtMessagePresenter::Present(MessageKind kind, const char* caption, const char* text)
{
    const bool application = kind == MessageKind::Application;
    QMessageBox box(application ? QMessageBox::Warning : QMessageBox::NoIcon, QString::fromLatin1(caption),
                    FromName(text), QMessageBox::Ok, application ? mainWindow_.data() : nullptr);
    box.exec();
    return kIdOk;
}

}  // namespace platform
