// SHA-256 by Windows' own cryptography (bcrypt.dll).
#include <windows.h>
#include <bcrypt.h>

#include "platform/sha256.h"

namespace platform {

Digest Sha256(std::span<const unsigned char> bytes)
{
    Digest digest{};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return digest;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0) {
        // BCryptHashData takes at most 4 GiB at a time.
        std::span<const unsigned char> rest = bytes;
        bool ok = true;
        while (ok && !rest.empty()) {
            const ULONG chunk = rest.size() > 0x40000000 ? 0x40000000 : static_cast<ULONG>(rest.size());
            ok = BCryptHashData(hash, const_cast<PUCHAR>(rest.data()), chunk, 0) == 0;
            rest = rest.subspan(chunk);
        }
        if (ok) BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return digest;
}

}  // namespace platform
