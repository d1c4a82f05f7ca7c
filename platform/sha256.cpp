#include "platform/sha256.h"

namespace platform {

std::string HexDigest(const Digest& digest)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    }
    return text;
}

}  // namespace platform
