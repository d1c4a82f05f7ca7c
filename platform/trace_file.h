// The serial trace file, made anew at every opening of the port: on Windows
// c:\temp\serial.txt; on POSIX $XDG_CACHE_HOME/KEL-7300/serial.txt (default
// ~/.cache), its folder made 0700, opened without following links.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The opened trace file, or nullptr when it cannot be made (tracing stays off).
std::FILE* OpenTraceFile();
std::string TraceFilePath();

}  // namespace platform
