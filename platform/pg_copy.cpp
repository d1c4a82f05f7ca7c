// COPY's text format, the same with or without a PostgreSQL client.
#include "platform/pg.h"

namespace platform {

void AppendCopyText(std::string& out, const std::string& text)
{
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

void AppendCopyBytes(std::string& out, std::span<const unsigned char> bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\\\x";  // the backslash of bytea's hex format, itself escaped for COPY
    for (const unsigned char byte : bytes) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
}

}  // namespace platform
