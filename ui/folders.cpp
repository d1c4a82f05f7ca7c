#include "ui/folders.h"

#include <QFileDialog>

void InstallSystemFolderChooser()
{
    SetFolderChooser([](const std::string& title, const std::string& startFolder, std::string& folder) {
        const QString chosen = QFileDialog::getExistingDirectory(nullptr, QString::fromLatin1(title.c_str()),
                                                                 QString::fromLocal8Bit(startFolder.c_str()),
                                                                 QFileDialog::ShowDirsOnly);
        if (chosen.isEmpty()) return false;
        folder = chosen.toLocal8Bit().toStdString();
        return true;
    });
}
