// kel7300-cli archive: the team archive on PostgreSQL from the command line.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "tools/trend_command.h"

struct ArchiveOptions {
    std::string db;  // a libpq connection string, URI or service=NAME
    std::vector<std::string> paths;
    bool follow = false;
    std::string role, company, kind;
    std::string folder;
    int withinDays = 30;
    TrendOptions trend;
};

// Adds "archive" and its commands to `app`; returns the "archive" command.
CLI::App* AddArchiveCommand(CLI::App& app, ArchiveOptions& options);
// Runs the archive command that was chosen; returns the exit status.
int RunArchive(CLI::App& archive, const ArchiveOptions& options, int argc, char** argv);
