#include "platform/trace_file.h"
#include "platform/names.h"

namespace platform {

std::string TraceFilePath()
{
    return "c:\\temp\\serial.txt";
}

std::FILE* OpenTraceFile()
{
    // Text mode, replacing an older trace; no folder, no trace.
    return _wfopen(PathOf(TraceFilePath()).c_str(), L"wt");
}

}  // namespace platform
