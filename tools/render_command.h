// kel7300-cli render: the page of one to four test files as PNG or PDF.
#pragma once

#include <string>
#include <vector>

struct RenderOptions {
    std::vector<std::string> files;
    std::string output;
    std::string size = "1600x1000";
    bool paper = false;
    std::string zoom;  // "", "resistance" or "current"
};

// The offscreen Qt application the drawing commands need, without a screen and
// without Qt's notes about a missing desktop session (real warnings still go
// to standard error, escaped).
class QGuiApplication;
QGuiApplication* StartOffscreenApplication(int& argc, char** argv);

// Returns the exit status; messages go to standard error.
int RunRender(const RenderOptions& options, int argc, char** argv);
