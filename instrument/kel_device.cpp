#include "instrument/kel_device.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/process_objects.h"
#include "platform/message_box.h"
#include "platform/message_pump.h"

char lineBuffer[kLineBufferSize];

namespace {

constexpr int kDirectoryByteTimeoutMs = 2000;

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
bool KeyIs(const char* key, const char* name)
{
    for (; *key && *name; ++key, ++name) {
        const char a = *key >= 'a' && *key <= 'z' ? static_cast<char>(*key - 'a' + 'A') : *key;
        if (a != *name) return false;
    }
    return *key == 0 && *name == 0;
}

}  // namespace

namespace {

struct WaitCursor {
    WaitCursor() { platform::ShowWaitCursor(true); }
    ~WaitCursor() { platform::ShowWaitCursor(false); }
};

}  // namespace

CKELDevice::~CKELDevice() = default;

int CKELDevice::GetRevision(char* text)
{
    std::snprintf(text, 5, "N/A");
    ExchangeGuard exchange(serialChannel);
    if (!exchange || !serialChannel.Open()) return 0;
    if (!serialChannel.Write("REV\r", 4)) return 0;
    unsigned char reply[5];
    if (!serialChannel.ReadBytes(reply, 5, -1)) return 0;
    // The version is the first four bytes; the fifth is dropped, whatever it is.
    std::memcpy(text, reply, 4);
    text[4] = 0;
    return 1;
}

int CKELDevice::EraseTest(int testNumber)
{
    ExchangeGuard exchange(serialChannel);
    if (!exchange) return 0;
    char command[80];
    const int length = std::snprintf(command, sizeof command, "ERS\r%d\r", testNumber);
    return serialChannel.Write(command, length);
}

int CKELDevice::ReturnToPanel()
{
    ExchangeGuard exchange(serialChannel);
    if (!exchange) return 0;
    return serialChannel.Write("END\r", 4);
}

int CKELDevice::Handshake()
{
    ExchangeGuard exchange(serialChannel);
    if (!exchange) return 0;
    return HandshakeUnguarded();
}

int CKELDevice::HandshakeUnguarded()
{
    if (!serialChannel.Open()) return 0;
    if (!serialChannel.Write("???\r", 4)) {
        ShowMessage("Can't send data to KEL-7300");
        return 0;
    }
    unsigned char reply[3];
    if (!serialChannel.ReadBytes(reply, 3, -1)) {
        ShowMessage("KEL-7300 not responding");
        return 0;
    }
    return 1;
}

int CKELDevice::ReadDirectory()
{
    // A read started from inside another exchange's wait touches nothing.
    ExchangeGuard exchange(serialChannel);
    if (!exchange) return 0;
    WaitCursor cursor;
    entryCount = 0;
    std::memset(lineBuffer, 0, sizeof lineBuffer);
    std::memset(entries, 0, sizeof entries);
    if (!serialChannel.Open()) return 0;
    if (!HandshakeUnguarded()) return 0;
    if (!serialChannel.Write("DIR\r", 4)) {
        ShowMessage("Can't send data to KEL-7300");
        return 0;
    }
    while (true) {
        if (!serialChannel.ReadLine(lineBuffer, kLineBufferSize, kDirectoryByteTimeoutMs)) {
            ShowMessage("Error reading directory");
            return 0;
        }
        if (lineBuffer[0] == 0) return 1;  // the empty line ends the directory
        char* colon = std::strchr(lineBuffer, ':');
        if (!colon) {
            ShowMessage("Can't parse directory");
            return 0;
        }
        *colon = 0;
        // One separator character follows the colon and is not examined.
        const char* value = colon[1] ? colon + 2 : colon + 1;
        Store(lineBuffer, value);
    }
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

void CKELDevice::Store(const char* key, const char* value)
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
        FirstWord(entry.company, value);
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
