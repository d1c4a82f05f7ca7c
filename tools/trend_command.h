// kel7300-cli trend: the history of every asset across test files, as a table,
// JSON lines or CSV, and optionally drawn as trend pages (PNG or PDF).
#pragma once

#include <string>
#include <vector>

#include "history/asset_history.h"

struct TrendOptions {
    std::vector<std::string> paths;
    bool json = false;
    bool csv = false;
    std::string minIr;       // ohms with an optional k, M, G or T; empty: the default
    double minPi = 2.0;
    std::string asset;       // keep only assets whose texts contain this
    std::string output;      // FILE.png (one asset) or FILE.pdf; empty: none
    bool follow = false;     // follow links to folders inside the folders named
};

// Returns the exit status (0, 1, or 2 when files or folders were left out,
// each named); messages go to standard error.
int RunTrend(const TrendOptions& options, int argc, char** argv);

// Shows `assets` as the trend does (table, --json, --csv, -o), keeping those
// that --asset chooses; returns `done`, or the drawing's failure.
int ShowAssets(const std::vector<history::Asset>& assets, const TrendOptions& options, const history::Limits& limits,
               int done, int argc, char** argv);
