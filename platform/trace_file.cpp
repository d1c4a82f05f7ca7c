#include "platform/trace_file.h"

namespace platform {

bool TraceFile::Open()
{
    Close();
    file_ = OpenTraceFile();
    return file_ != nullptr;
}

void TraceFile::Close()
{
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void TraceFile::Write(const char* text)
{
    if (file_) std::fputs(text, file_);
}

void TraceFile::Write(const unsigned char* bytes, std::size_t count)
{
    if (file_ && count > 0) std::fwrite(bytes, 1, count, file_);
}

}  // namespace platform
