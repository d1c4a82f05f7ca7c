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
// Where the previous generation of the trace is kept: "serial.txt.1" beside it.
std::string OlderTraceFilePath();

// The trace file while the port is open: made anew by Open, closed (and so
// flushed) by Close or at the end of its owner. It stays bounded however long
// the port is open and however much a tester sends: past `limit` bytes the
// file starts over, the previous one kept beside it as one older generation
// (OlderTraceFilePath), so at most twice the limit is ever kept.
class TraceFile {
public:
    static constexpr std::size_t kDefaultLimit = 16 * 1024 * 1024;

    explicit TraceFile(std::size_t limit = kDefaultLimit) : limit_(limit) {}
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
    // Room for `count` more bytes: a full file becomes the older generation.
    void MakeRoom(std::size_t count);

    std::FILE* file_ = nullptr;
    std::size_t limit_;
    std::size_t written_ = 0;
};

}  // namespace platform
