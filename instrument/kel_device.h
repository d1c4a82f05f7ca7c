// The tester's commands: version, erase, handshake, directory. The connection
// is the process-wide serial channel; this object holds the directory.
#pragma once

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

// The directory reply's lines arrive here: at most 255,999 characters a line.
constexpr int kLineBufferSize = 256001;
extern char lineBuffer[kLineBufferSize];

class CKELDevice {
public:
    static constexpr int kMaxEntries = 512;

    CKELDevice() = default;
    ~CKELDevice();

    // The tester's four version characters in `text` (at least 5 bytes), or "N/A".
    int GetRevision(char* text);
    // Sends "ERS\r%d\r"; no reply is awaited.
    int EraseTest(int testNumber);
    // "???\r" answered by any three bytes.
    int Handshake();
    // Reads the tester's test directory into `entries`.
    int ReadDirectory();
    // Sends "END\r": the tester goes back to its front panel.
    int ReturnToPanel();

    int entryCount = 0;
    DirectoryEntry entries[kMaxEntries] = {};

private:
    int HandshakeUnguarded();
    void Store(const char* key, const char* value);
};
