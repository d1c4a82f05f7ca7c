#include "qt/qt_message_presenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "qt/qt_text.h"

namespace platform {

int QtMessagePresenter::Present(MessageKind kind, const char* caption, const char* text)
{
    const bool application = kind == MessageKind::Application;
    QMessageBox box(application ? QMessageBox::Warning : QMessageBox::NoIcon, QString::fromLatin1(caption),
                    FromName(text), QMessageBox::Ok, application ? mainWindow_.data() : nullptr);
    box.exec();
    return kIdOk;
}

int QtMessagePresenter::Ask(const char* caption, const char* question, const std::vector<std::string>& choices,
                            int safeChoice)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = mainWindow_.data();
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(caption), FromName(question), QMessageBox::NoButton,
                    owner);
    std::vector<QPushButton*> buttons;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const bool safe = static_cast<int>(i) == safeChoice;
        buttons.push_back(box.addButton(FromName(choices[i].c_str()),
                                        safe ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
        if (safe) {
            box.setDefaultButton(buttons.back());
            box.setEscapeButton(buttons.back());
        }
    }
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
    return safeChoice;
}

}  // namespace platform
