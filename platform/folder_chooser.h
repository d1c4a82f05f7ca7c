// The process's current folder, and the folder chooser behind a hook: the
// desktop program installs the system's folder dialog, tests answer for the user.
#pragma once

#include <functional>
#include <string>

// Fills `folder` with the process's current folder.
void GetCurrentFolder(std::string& folder);

// Lets the user choose a folder, starting at `startFolder`: true and the
// chosen folder in `folder`, or false when the user cancelled (or no chooser exists).
bool BrowseForFolder(const std::string& title, const std::string& startFolder, std::string& folder);

using FolderChooser = std::function<bool(const std::string& title, const std::string& start, std::string& folder)>;
// Installs the chooser; an empty one means there is none.
void SetFolderChooser(FolderChooser chooser);
