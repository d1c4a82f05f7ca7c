// Holds a file open as a viewer or a virus scan does, sharing reading and writing but not its
// deletion, for a number of milliseconds: Windows then refuses to replace it.
// Usage: kel_hold_file FILE MILLISECONDS; prints "held" once the file is open.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/names.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
    if (arguments.size() != 3) return 2;
    const HANDLE file = CreateFileW(platform::PathOf(arguments[1]).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::puts("held");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::atoi(arguments[2].c_str())));
    CloseHandle(file);
    return 0;
}
