#include "platform/names.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace platform {

std::filesystem::path PathOf(const std::string& name)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), wide.data(), length);
    return std::filesystem::path(std::move(wide));
}

std::string NameOf(const std::filesystem::path& path)
{
    const std::wstring& wide = path.native();
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string name(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), name.data(), length, nullptr,
                            nullptr);
    return name;
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
