// kel7300-cli trend: the history of every asset across test files, as a table,
// JSON lines or CSV, and optionally drawn as trend pages (PNG or PDF).
#pragma once

#include <string>
#include <vector>

// Text for the terminal, control characters escaped (the CLI's rule for every plain output).
std::string PrintableText(const std::string& utf8);

struct TrendOptions {
    std::vector<std::string> paths;
    bool json = false;
    bool csv = false;
    std::string minIr;       // ohms with an optional k, M, G or T; empty: the default
    double minPi = 2.0;
    std::string asset;       // keep only assets whose texts contain this
    std::string output;      // FILE.png (one asset) or FILE.pdf; empty: none
};

// Returns the exit status; messages go to standard error.
int RunTrend(const TrendOptions& options, int argc, char** argv);
