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

// Returns the exit status; messages go to standard error.
int RunRender(const RenderOptions& options, int argc, char** argv);
