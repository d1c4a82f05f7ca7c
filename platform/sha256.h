// SHA-256 of bytes, by the system: libcrypto (OpenSSL, which libpq uses too) on Linux, bcrypt on Windows.
#pragma once

#include <array>
#include <span>
#include <string>

namespace platform {

using Digest = std::array<unsigned char, 32>;

Digest Sha256(std::span<const unsigned char> bytes);
// The digest as 64 lower-case hex digits.
std::string HexDigest(const Digest& digest);

}  // namespace platform
