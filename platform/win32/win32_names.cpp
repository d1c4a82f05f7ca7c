#include "platform/names.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/unicode.h"

namespace platform {

// Windows' wide strings are UTF-16: the program's one UTF-8/UTF-16 conversion serves both ways.
std::filesystem::path PathOf(const std::string& name)
{
    const std::u16string utf16 = Utf8ToUtf16(name);
    return std::filesystem::path(std::wstring(utf16.begin(), utf16.end()));
}

std::string NameOf(const std::filesystem::path& path)
{
    const std::wstring& wide = path.native();
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(NameOf(std::filesystem::path(wide[i])));
    LocalFree(wide);
    return arguments;
}

}  // namespace platform
