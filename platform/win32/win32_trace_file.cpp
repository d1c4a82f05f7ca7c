#include "platform/trace_file.h"

namespace platform {

std::string TraceFilePath()
{
    return "c:\\temp\\serial.txt";
}

std::FILE* OpenTraceFile()
{
    // Text mode, replacing an older trace; no folder, no trace.
    return std::fopen(TraceFilePath().c_str(), "wt");
}

}  // namespace platform
