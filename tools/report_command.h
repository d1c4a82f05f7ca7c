// kel7300-cli report: the report page of each test, alone, one sheet each, in one PDF.
#pragma once

#include <string>
#include <vector>

struct ReportOptions {
    std::vector<std::string> paths;
    std::string output;
    bool recursive = false;
    bool follow = false;  // with recursive: follow links to folders
    bool portrait = false;
    bool landscape = false;
};

// Returns 0 when every test was printed, 2 when some were left out (each
// named), 1 when nothing was; messages go to standard error.
int RunReport(const ReportOptions& options, int argc, char** argv);
