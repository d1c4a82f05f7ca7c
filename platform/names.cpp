#include "platform/names.h"

#include "platform/unicode.h"

namespace platform {

std::string NameToUtf8(const std::string& name)
{
    return Utf16ToUtf8(Utf8ToUtf16(name));
}

}  // namespace platform
