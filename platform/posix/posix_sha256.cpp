// SHA-256 by the system's libcrypto (OpenSSL), which libpq uses too.
#include <openssl/evp.h>

#include "platform/sha256.h"

namespace platform {

Digest Sha256(std::span<const unsigned char> bytes)
{
    Digest digest{};
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr);
    return digest;
}

}  // namespace platform
