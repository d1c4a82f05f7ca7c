#include "instrument/kel_device.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>

#include "instrument/serial_com.h"
#include "platform/serial_port.h"
#include "platform/names.h"

namespace {

constexpr int kDirectoryByteTimeoutMs = 2000;
// A tester cannot keep the program reading its directory for ever: past the
// 512 tests it may send this many more lines (read and dropped), and the
// whole reply must come within this time (512 tests take about 55 s at the
// line rate).
constexpr int kDirectoryLinesPastTheLimit = 4096;
constexpr std::uint32_t kDirectoryTotalMs = 120000;

// White space as scanf's "%s" knows it.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* SkipBlanks(const char* text)
{
    while (IsBlank(*text)) ++text;
    return text;
}

// The first word of `value` into `field`, cut to the field.
template <std::size_t N>
void FirstWord(char (&field)[N], const char* value)
{
    value = SkipBlanks(value);
    std::size_t length = 0;
    while (value[length] && !IsBlank(value[length])) ++length;
    std::snprintf(field, N, "%.*s", static_cast<int>(length), value);
}

// The second word, likewise.
template <std::size_t N>
void SecondWord(char (&field)[N], const char* value)
{
    value = SkipBlanks(value);
    while (*value && !IsBlank(*value)) ++value;
    FirstWord(field, value);
}

template <std::size_t N>
void Whole(char (&field)[N], const char* value)
{
    std::snprintf(field, N, "%s", value);
}

// Keys compare without regard to letter case, as a whole.
bool KeyIs(std::string_view key, std::string_view name)
{
    if (key.size() != name.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const char a = key[i] >= 'a' && key[i] <= 'z' ? static_cast<char>(key[i] - 'a' + 'A') : key[i];
        if (a != name[i]) return false;
    }
    return true;
}

}  // namespace

namespace {

class WaitCursor {
public:
    explicit WaitCursor(const platform::Services& services) : services_(services) { services_.ShowWaitCursor(true); }
    ~WaitCursor() { services_.ShowWaitCursor(false); }

private:
    const platform::Services& services_;
};

const Status kBusy = Status::Of(Problem::Busy);

}  // namespace

CKELDevice::CKELDevice(CSerialCom& channel) : channel_(channel) {}

CKELDevice::~CKELDevice() = default;

Status CKELDevice::GetRevision(char* text)
{
    std::snprintf(text, 5, "N/A");
    ExchangeGuard exchange(channel_);
    if (!exchange) return kBusy;
    if (Status opened = channel_.Open(); !opened) return opened;
    if (Status sent = channel_.Write("REV\r", 4); !sent) return sent;
    unsigned char reply[5];
    if (Status read = channel_.ReadBytes(reply, 5, -1); !read) return read;
    // The version is the first four bytes; the fifth is dropped, whatever it is.
    std::memcpy(text, reply, 4);
    text[4] = 0;
    return {};
}

Status CKELDevice::EraseTest(int testNumber)
{
    ExchangeGuard exchange(channel_);
    if (!exchange) return kBusy;
    char command[80];
    const int length = std::snprintf(command, sizeof command, "ERS\r%d\r", testNumber);
    return channel_.Write(command, length);
}

Status CKELDevice::ReturnToPanel()
{
    ExchangeGuard exchange(channel_);
    if (!exchange) return kBusy;
    return channel_.Write("END\r", 4);
}

Status CKELDevice::Handshake()
{
    ExchangeGuard exchange(channel_);
    if (!exchange) return kBusy;
    return HandshakeUnguarded();
}

Status CKELDevice::HandshakeUnguarded()
{
    if (Status opened = channel_.Open(); !opened) return opened;
    if (Status sent = channel_.Write("???\r", 4); !sent) return Naming(sent, Status::Of(Problem::CantSend));
    unsigned char reply[3];
    if (Status read = channel_.ReadBytes(reply, 3, -1); !read) return Naming(read, Status::Of(Problem::NotResponding));
    return {};
}

int CKELDevice::FindTester(const std::vector<int>& ports, const std::function<bool(int)>& beforeEach)
{
    const int before = channel_.port;
    for (const int port : ports) {
        if (beforeEach && !beforeEach(port)) break;
        channel_.Close();
        channel_.port = port;
        const bool answered = Handshake().Ok();
        channel_.Close();  // a probe never leaves a port open
        if (answered) return port;
    }
    channel_.port = before;
    return 0;
}

std::vector<int> CKELDevice::PresentPorts()
{
    std::vector<int> ports;
    for (const platform::SerialDeviceInfo& device : platform::ListSerialPorts())
        if (device.accessible && device.comPort > 0) ports.push_back(device.comPort);
    for (int port = 1; port <= 100; ++port) {
        const std::string alias = platform::PortAliasPath(port);
        std::error_code error;
        if (!alias.empty() && std::filesystem::exists(platform::PathOf(alias), error)) ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end());
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

void CKELDevice::ClearDirectory()
{
    entryCount = 0;
    std::memset(entries, 0, sizeof entries);
}

Status CKELDevice::ReadDirectory()
{
    // A read started from inside another exchange's wait touches nothing.
    ExchangeGuard exchange(channel_);
    if (!exchange) return kBusy;
    WaitCursor cursor(channel_.services());
    ClearDirectory();
    if (!lineBuffer_) lineBuffer_ = std::make_unique<char[]>(kLineBufferSize);
    if (Status opened = channel_.Open(); !opened) return opened;
    if (Status greeted = HandshakeUnguarded(); !greeted) return greeted;
    if (Status sent = channel_.Write("DIR\r", 4); !sent) return Naming(sent, Status::Of(Problem::CantSend));
    const std::uint32_t deadline = channel_.services().GetTickCount() + kDirectoryTotalMs;
    const auto pastDeadline = [&] {
        return static_cast<std::int32_t>(channel_.services().GetTickCount() - deadline) >= 0;
    };
    int linesPastTheLimit = 0;
    while (true) {
        if (entryCount >= kMaxEntries && ++linesPastTheLimit > kDirectoryLinesPastTheLimit)
            return Status::Of(Problem::DirectoryTooLong);
        char* line = lineBuffer_.get();
        if (Status read = channel_.ReadLine(line, kLineBufferSize, kDirectoryByteTimeoutMs, deadline); !read) {
            if (read.problem == Problem::LineFailed && pastDeadline()) return Status::Of(Problem::DirectoryTooLong);
            return Naming(read, Status::Of(Problem::DirectoryUnread));
        }
        switch (TakeDirectoryLine(line)) {
        case DirectoryLine::End:
            return {};
        case DirectoryLine::Unparsed:
            return Status::Of(Problem::DirectoryUnparsed);
        case DirectoryLine::Field:
            break;
        }
    }
}

DirectoryLine CKELDevice::TakeDirectoryLine(std::string_view line)
{
    // A line ends at its first NUL, as the text the channel read does.
    line = line.substr(0, std::min(line.size(), line.find('\0')));
    if (line.empty()) return DirectoryLine::End;  // the empty line ends the directory
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return DirectoryLine::Unparsed;
    // One separator character follows the colon and is not examined.
    const std::size_t start = std::min(line.size(), colon + 2);
    const std::string value(line.substr(start));
    Store(line.substr(0, colon), value.c_str());
    return DirectoryLine::Field;
}

// The number a directory line gives, read as "%d" reads it; a value that does
// not fit a 32-bit number counts as no number (0), so a number that wrapped
// around never names, and sends XMT or ERS for, another test.
static int TestNumberOf(const char* value)
{
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(value, &end, 10);
    if (end == value || errno == ERANGE || number > INT_MAX || number < INT_MIN) return 0;
    return static_cast<int>(number);
}

void CKELDevice::Store(std::string_view key, const char* value)
{
    // Past 512 tests the lines are read and ignored.
    if (entryCount >= kMaxEntries) return;
    DirectoryEntry& entry = entries[entryCount];
    if (KeyIs(key, "TEST NUMBER")) {
        entry.testNumber = TestNumberOf(value);
    } else if (KeyIs(key, "DATE/TIME")) {
        FirstWord(entry.dateText, value);
        SecondWord(entry.timeText, value);
    } else if (KeyIs(key, "TEST TYPE")) {
        FirstWord(entry.testTypeText, value);
        const char* code = "R";
        if (std::strstr(entry.testTypeText, "STEP")) code = "SV";
        else if (std::strstr(entry.testTypeText, "DIALECT")) code = "DD";
        else if (std::strstr(entry.testTypeText, "POLAR")) code = "PI";
        Whole(entry.testTypeCode, code);
    } else if (KeyIs(key, "TEST VOLTAGE")) {
        FirstWord(entry.testVoltageText, value);
    } else if (KeyIs(key, "TEST TIME")) {
        FirstWord(entry.testTimeText, value);
    } else if (KeyIs(key, "COMPANY")) {
        Whole(entry.company, value);  // the whole name: "HARBOR FOODS INC", not "HARBOR"
    } else if (KeyIs(key, "LOCATION")) {
        Whole(entry.location, value);
    } else if (KeyIs(key, "TEST DESC")) {
        Whole(entry.description, value);
    } else if (KeyIs(key, "OPERATOR")) {
        Whole(entry.operatorName, value);
    } else if (KeyIs(key, "TEST LENGTH")) {
        FirstWord(entry.testLengthText, value);
        ++entryCount;
    }
}
