// The process's current folder, and the folder chooser.
#pragma once

#include <functional>
#include <string>

// Fills `folder` with the process's current folder.
void GetCurrentFolder(std::string& folder);

// Lets the user choose a folder, starting at `startFolder`: true and the
// chosen folder in `folder`, or false when the user cancelled.
bool BrowseForFolder(const std::string& title, const std::string& startFolder, std::string& folder);

// Replaces the chooser (tests answer for the user); an empty function restores
// the system's folder dialog.
void SetFolderChooser(std::function<bool(const std::string&, const std::string&, std::string&)> chooser);
