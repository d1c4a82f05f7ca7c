// kel7300-cli report: the report page of each test, alone, one sheet each, in one PDF.
#pragma once

#include <string>
#include <vector>

struct ReportOptions {
    std::vector<std::string> paths;
    std::string output;
    bool recursive = false;
    bool portrait = false;
    bool landscape = false;
};

// Returns 0 when every test was printed; messages go to standard error.
int RunReport(const ReportOptions& options, int argc, char** argv);
