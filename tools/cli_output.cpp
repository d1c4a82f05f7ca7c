#include "tools/cli_output.h"

#include <cstdio>
#include <iostream>

#include "platform/unicode.h"

namespace cli {

std::string Printable(const std::string& utf8)
{
    return platform::EscapeControls(utf8);
}

int Fail(const std::string& message)
{
    std::cerr << "kel7300-cli: " << Printable(message) << "\n";
    return 1;
}

std::string JsonLine(const Json& json)
{
    const std::string dumped = json.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out;
    out.reserve(dumped.size());
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        const auto byte = static_cast<unsigned char>(dumped[i]);
        unsigned code = 0x100;
        if (byte == 0x7F) code = byte;
        else if (byte == 0xC2 && i + 1 < dumped.size() && static_cast<unsigned char>(dumped[i + 1]) >= 0x80 &&
                 static_cast<unsigned char>(dumped[i + 1]) <= 0x9F)
            code = static_cast<unsigned char>(dumped[++i]);
        if (code == 0x100) {
            out += dumped[i];
            continue;
        }
        // Such bytes stand only inside strings, where \uXXXX is their escape.
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", code);
        out += escape;
    }
    return out;
}

std::string CsvText(const std::string& utf8)
{
    std::string text = Printable(utf8);
    // Printable has turned a leading tab or carriage return into "\t" or "\r": the raw first byte decides.
    if (!utf8.empty() && std::string("=+-@\t\r").find(utf8.front()) != std::string::npos) text = "'" + text;
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}


std::string NotATestLine(const std::string& file, const Status& status)
{
    std::string line = file + ": not a KEL-7300 test file";
    if (!status.detail.empty()) line += " (" + status.detail + ")";
    return line;
}

}  // namespace cli
