// Runs a script under Debian's /usr/bin/python3 (where python3-xlrd and
// python3-openpyxl live) with one argument; returns what it printed, errors included.
#pragma once

#include <cstdio>
#include <string>

namespace kel_test {

inline std::string RunPython3(const std::string& script, const std::string& argument)
{
    const std::string command =
        "/usr/bin/python3 -c \"$(cat <<'PYEOF'\n" + script + "PYEOF\n)\" '" + argument + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

}  // namespace kel_test
