#include "testfile/latin1.h"

std::string Latin1ToUtf8(std::string_view latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8.push_back(c);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | byte >> 6));
            utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return utf8;
}

std::string Utf8ToLatin1(std::string_view utf8)
{
    std::string latin1;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        // Length of the sequence from its lead byte; 0 for a byte that cannot lead.
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                   : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        std::size_t valid = length != 0 && i + length <= utf8.size() ? length : 0;
        for (std::size_t k = 1; k < valid; ++k)
            if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) valid = 0;
        if (valid == 1) {
            latin1.push_back(static_cast<char>(lead));
        } else if (valid == 2 && lead <= 0xC3) {
            latin1.push_back(static_cast<char>((lead & 0x03) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F)));
        } else {
            latin1.push_back('?');
        }
        i += valid != 0 ? valid : 1;
    }
    return latin1;
}

bool FitsLatin1(std::string_view utf8)
{
    // The conversion makes a '?' of each character it cannot hold: any '?' that was not there already.
    const std::string latin1 = Utf8ToLatin1(utf8);
    std::size_t questions = 0;
    for (const char c : utf8) questions += c == '?' ? 1 : 0;
    std::size_t converted = 0;
    for (const char c : latin1) converted += c == '?' ? 1 : 0;
    return converted == questions;
}
