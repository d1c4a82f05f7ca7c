// The serial trace file, made anew at every opening of the port: on Windows
// c:\temp\serial.txt; on POSIX $XDG_CACHE_HOME/KEL-7300/serial.txt (default
// ~/.cache), its folder made 0700, opened without following links.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

// The opened trace file, or nullptr when it cannot be made (tracing stays off).
std::FILE* OpenTraceFile();
std::string TraceFilePath();

// The trace file while the port is open: made anew by Open, closed (and so
// flushed) by Close or at the end of its owner.
class TraceFile {
public:
    TraceFile() = default;
    ~TraceFile() { Close(); }
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // False when the file cannot be made; tracing is then off.
    bool Open();
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    void Write(const char* text);
    void Write(const unsigned char* bytes, std::size_t count);

private:
    std::FILE* file_ = nullptr;
};

}  // namespace platform
