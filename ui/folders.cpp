#include "ui/folders.h"

#include <QFileDialog>

#include "qt/qt_text.h"

platform::FolderChooser SystemFolderChooser()
{
    return [](const std::string& title, const std::string& startFolder, std::string& folder) {
        const QString chosen = QFileDialog::getExistingDirectory(nullptr, QString::fromLatin1(title.c_str()),
                                                                 platform::FromName(startFolder),
                                                                 QFileDialog::ShowDirsOnly);
        if (chosen.isEmpty()) return false;
        folder = platform::ToName(chosen);
        return true;
    };
}
