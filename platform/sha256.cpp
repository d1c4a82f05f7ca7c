#include "platform/sha256.h"

#include <openssl/evp.h>

namespace platform {

Digest Sha256(std::span<const unsigned char> bytes)
{
    Digest digest{};
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr);
    return digest;
}

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
