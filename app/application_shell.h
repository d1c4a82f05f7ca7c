// What the application's start-up and its open and new operations need of the
// windowing platform: the default printer settings, the main window with its
// view, the recent-file list, and a way to tell the user what happened.
#pragma once

#include <string>
#include <vector>

#include "status/status.h"

namespace platform {

class ApplicationShell {
public:
    virtual ~ApplicationShell() = default;
    // Puts the orientation into the application's default printer settings;
    // does nothing when there is no printer.
    virtual void SetDefaultOrientation(bool landscape) = 0;
    // Creates the main window and its view and processes the command line (a
    // file named there is opened). False ends the program.
    virtual bool ProcessShellCommand() = 0;
    virtual void ShowMainWindowMaximized() = 0;
    // Every view redraws from the document.
    virtual void UpdateAllViews() = 0;
    virtual void AddToRecentFileList(const std::string& path) = 0;
    // Tells the user what went wrong (a message box in the desktop program).
    virtual void Report(const Status& status) = 0;
    // Asks the user `question` with one button per choice and returns the
    // chosen one's index; `safeChoice` (the one that changes nothing) is the
    // default and the answer when nobody can be asked.
    virtual int Ask(const std::string& question, const std::vector<std::string>& choices, int safeChoice)
    {
        (void)question;
        (void)choices;
        return safeChoice;
    }
};

}  // namespace platform
