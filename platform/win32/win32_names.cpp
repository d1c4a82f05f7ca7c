#include "platform/names.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::wstring Widen(const std::string& text, UINT codePage)
{
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage)
{
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr,
                            nullptr);
    return text;
}

}  // namespace

std::string NameToUtf8(const std::string& name)
{
    return Narrow(Widen(name, CP_ACP), CP_UTF8);
}

std::string Utf8ToName(const std::string& utf8)
{
    return Narrow(Widen(utf8, CP_UTF8), CP_ACP);
}

}  // namespace platform
