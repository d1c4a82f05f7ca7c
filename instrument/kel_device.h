// The tester's commands: version, erase, handshake, directory. The device is
// handed the serial channel it talks through; it holds the directory.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "status/status.h"

class CSerialCom;

// One test of the tester's directory; texts include their terminator.
struct DirectoryEntry {
    int testNumber;
    char dateText[20];
    char timeText[20];
    char testTypeText[30];
    char testTypeCode[20];
    char testVoltageText[30];
    char testTimeText[20];
    char company[30];
    char location[30];
    char description[30];
    char operatorName[30];
    char testLengthText[32];
};
static_assert(sizeof(DirectoryEntry) == 296, "a directory entry is a fixed record of 296 bytes");

// The directory reply's lines: at most 255,999 characters a line.
constexpr int kLineBufferSize = 256001;

// How a line of the directory reply reads.
enum class DirectoryLine { Field, End, Unparsed };

class CKELDevice {
public:
    static constexpr int kMaxEntries = 512;

    explicit CKELDevice(CSerialCom& channel);
    ~CKELDevice();
    CKELDevice(const CKELDevice&) = delete;
    CKELDevice& operator=(const CKELDevice&) = delete;

    // The tester's four version characters in `text` (at least 5 bytes), or "N/A".
    Status GetRevision(char* text);
    // Sends "ERS\r%d\r"; no reply is awaited.
    Status EraseTest(int testNumber);
    // "???\r" answered by any three bytes.
    Status Handshake();
    // Reads the tester's test directory into `entries`.
    Status ReadDirectory();
    // Sends "END\r": the tester goes back to its front panel.
    Status ReturnToPanel();

    // Probes each of `ports` in turn with the handshake (each within its 3 s)
    // and returns the first that answers, 0 when none does. `beforeEach(port)`
    // hears of each probe and stops the search when it returns false. The
    // channel is closed after every probe and points at the port found (or at
    // the one it pointed at before, when none answered).
    int FindTester(const std::vector<int>& ports, const std::function<bool(int port)>& beforeEach = {});
    // The ports worth probing: COMn of every serial device present that this
    // user may open, and of every alias of the user's that leads somewhere.
    static std::vector<int> PresentPorts();

    // The directory grammar: one "KEY: value" line (without its carriage return)
    // into `entries`; the empty line ends the directory. ReadDirectory hands it
    // each line the channel read, after clearing the entries.
    DirectoryLine TakeDirectoryLine(std::string_view line);
    void ClearDirectory();

    int entryCount = 0;
    DirectoryEntry entries[kMaxEntries] = {};

private:
    Status HandshakeUnguarded();
    void Store(std::string_view key, const char* value);

    CSerialCom& channel_;
    std::unique_ptr<char[]> lineBuffer_;
};
