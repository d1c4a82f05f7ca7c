// Any bytes as the tester's directory reply, line by line as the channel hands
// them on: every field stays terminated and inside its entry, and the count
// never passes the 512 entries.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "instrument/kel_device.h"
#include "instrument/serial_com.h"

namespace {

template <std::size_t N>
void Terminated(const char (&text)[N])
{
    if (std::memchr(text, 0, N) == nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const platform::Services services;
    static CSerialCom channel(services, nullptr);  // never opened: the lines come from here
    static CKELDevice device(channel);
    device.ClearDirectory();
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    while (!reply.empty()) {
        const std::size_t end = reply.find('\r');
        const std::string_view line = reply.substr(0, end);
        if (device.TakeDirectoryLine(line) != DirectoryLine::Field) break;
        if (end == std::string_view::npos) break;
        reply.remove_prefix(end + 1);
    }
    if (device.entryCount < 0 || device.entryCount > CKELDevice::kMaxEntries) std::abort();
    for (const DirectoryEntry& entry : device.entries) {
        Terminated(entry.dateText), Terminated(entry.timeText), Terminated(entry.testTypeText);
        Terminated(entry.testTypeCode), Terminated(entry.testVoltageText), Terminated(entry.testTimeText);
        Terminated(entry.company), Terminated(entry.location), Terminated(entry.description);
        Terminated(entry.operatorName), Terminated(entry.testLengthText);
    }
    return 0;
}
