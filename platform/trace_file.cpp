#include "platform/trace_file.h"
#include "platform/names.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {

std::string OlderTraceFilePath()
{
    const std::string path = TraceFilePath();
    return path.empty() ? path : path + ".1";
}

bool TraceFile::Open()
{
    Close();
    file_ = OpenTraceFile();
    written_ = 0;
    return file_ != nullptr;
}

void TraceFile::Close()
{
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void TraceFile::MakeRoom(std::size_t count)
{
    if (!file_ || written_ == 0 || written_ + count <= limit_) return;
    Close();
    std::error_code error;
    std::filesystem::rename(PathOf(TraceFilePath()), PathOf(OlderTraceFilePath()), error);
    Open();
}

void TraceFile::Write(const char* text)
{
    Write(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

void TraceFile::Write(const unsigned char* bytes, std::size_t count)
{
    MakeRoom(count);
    if (!file_ || count == 0) return;
    std::fwrite(bytes, 1, count, file_);
    written_ += count;
}

}  // namespace platform
