// A KEL-7300 simulator at the protocol level: bytes of the program in, bytes
// of the tester out, with the faults a real line and tester show. The same
// machine serves tests in-process and the kel7300-sim program on a pty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

struct SimTest {
    int number = 0;
    std::vector<unsigned char> stream;  // the tester's stream: size bytes, header, samples
};

// Faults for tests; all off by default.
struct SimFaults {
    bool silent = false;           // answers nothing at all
    bool shortLastBlock = false;   // the last block of a transfer carries only its meaningful bytes
    long pauseAfterBytes = -1;     // stops sending after this many bytes of a reply ...
    int pauseMs = 0;               // ... for this long
    bool garbage = false;          // the handshake reply and the directory are noise
    bool surplus = false;          // every reply is followed by surplus bytes
    bool sizeBelow2 = false;       // a transfer's size reply is 00 01
    bool answerIn = false;         // a transfer is answered "IN"
    bool lowerCaseKeys = false;    // directory keys in lower case
    bool unknownKeys = false;      // an extra line with a key the program does not know
    bool lineFeeds = false;        // a line feed after each carriage return
    int extraTests = 0;            // this many more tests in the directory (past 512)
    bool overlongValues = false;   // values longer than the program's fields
    long vanishAfterBytes = -1;    // the device goes away after this many bytes of a transfer
    int byteEveryMs = 0;           // sends the directory one byte at a time, this long apart
};

class TesterSimulator {
public:
    explicit TesterSimulator(std::vector<SimTest> tests, std::string revision = "1.20");

    // The tests of a folder of .kel files (bytes 5 onwards), or the demo set.
    static std::vector<SimTest> TestsOfFolder(const std::filesystem::path& folder);
    static std::vector<SimTest> DemoTests();

    // Bytes the program sent.
    void Receive(const unsigned char* data, std::size_t count);
    // Bytes of the reply that may go out at time `nowMs`, at most `max`.
    std::size_t Available(std::uint32_t nowMs) const;
    std::size_t Take(unsigned char* buffer, std::size_t max, std::uint32_t nowMs);
    bool Vanished() const { return vanished_; }

    SimFaults faults;
    bool panelControl = true;       // END puts it back under its front panel
    std::vector<int> erased;        // test numbers erased, in order
    std::vector<std::string> commands;  // every command seen, for tests

private:
    void Command(const std::string& command, int argument);
    void Send(const std::string& text);
    void Send(const std::vector<unsigned char>& bytes);
    std::string DirectoryReply() const;

    std::vector<SimTest> tests_;
    std::string revision_;
    std::string input_;
    std::deque<unsigned char> output_;
    long sentOfReply_ = 0;          // bytes of the current reply handed out
    std::uint32_t lastByteAt_ = 0;  // when a byte was last handed out (for byteEveryMs)
    bool inDirectory_ = false;      // the reply under way is the directory
    std::uint32_t pauseUntil_ = 0;
    bool paused_ = false;
    bool vanished_ = false;
    bool inTransfer_ = false;
};
