#include "platform/folder_chooser.h"

#include <filesystem>
#include <system_error>

namespace {

FolderChooser& Chooser()
{
    static FolderChooser chooser;
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
    return Chooser() && Chooser()(title, startFolder, folder);
}

void SetFolderChooser(FolderChooser chooser)
{
    Chooser() = std::move(chooser);
}
