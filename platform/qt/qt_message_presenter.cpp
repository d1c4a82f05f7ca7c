#include "platform/qt/qt_message_presenter.h"

#include <QMessageBox>

namespace platform {

int QtMessagePresenter::Present(MessageKind kind, const char* caption, const char* text)
{
    const bool application = kind == MessageKind::Application;
    QMessageBox box(application ? QMessageBox::Warning : QMessageBox::NoIcon, QString::fromLatin1(caption),
                    QString::fromLatin1(text), QMessageBox::Ok, application ? mainWindow_.data() : nullptr);
    box.exec();
    return kIdOk;
}

}  // namespace platform
