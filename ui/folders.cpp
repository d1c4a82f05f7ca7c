#include "ui/folders.h"

#include <QFileDialog>

#include <filesystem>
#include <system_error>

namespace {

std::function<bool(const std::string&, const std::string&, std::string&)>& Chooser()
{
    static std::function<bool(const std::string&, const std::string&, std::string&)> chooser;
    return chooser;
}

}  // namespace

void GetCurrentFolder(std::string& folder)
{
    std::error_code error;
    folder = std::filesystem::current_path(error).string();
    if (error) folder.clear();
}

bool BrowseForFolder(const std::string& title, const std::string& startFolder, std::string& folder)
{
    if (Chooser()) return Chooser()(title, startFolder, folder);
    // Folders only, with a path the user can type; no owner window.
    const QString chosen = QFileDialog::getExistingDirectory(nullptr, QString::fromLatin1(title.c_str()),
                                                             QString::fromLocal8Bit(startFolder.c_str()),
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return false;
    folder = chosen.toLocal8Bit().toStdString();
    return true;
}

void SetFolderChooser(std::function<bool(const std::string&, const std::string&, std::string&)> chooser)
{
    Chooser() = std::move(chooser);
}
