#include "tools/sim/tester_sim.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/folder_search.h"
#include "testfile/kel_file.h"
#include "testfile/kel_format.h"
#include "tools/demo_set.h"
#include "platform/names.h"

namespace {

// The tester's own word for each test type.
const char* TypeWord(int type)
{
    switch (type) {
    case 1: return "RESISTANCE";
    case 2: return "INSULATION";
    case 3: return "POLARIZATION";
    case 4: return "DIALECTRIC";
    case 5: return "STEP";
    default: return "UNKNOWN";
    }
}

int Word(const std::vector<unsigned char>& stream, std::size_t offset)
{
    return offset + 1 < stream.size() ? static_cast<int>(kel::BigEndian16(stream.data() + offset)) : 0;
}

std::string HeaderText(const std::vector<unsigned char>& stream, std::size_t offset)
{
    std::string text;
    for (std::size_t i = 0; i < kel::kHeaderTextSize && offset + i < stream.size() && stream[offset + i]; ++i)
        text.push_back(static_cast<char>(stream[offset + i]));
    return text;
}

int Bcd(unsigned char byte)
{
    return (byte >> 4) * 10 + (byte & 0x0F);
}

}  // namespace

TesterSimulator::TesterSimulator(std::vector<SimTest> tests, std::string revision)
    : tests_(std::move(tests)), revision_(std::move(revision))
{
}

std::vector<SimTest> TesterSimulator::TestsOfFolder(const std::filesystem::path& folder)
{
    std::vector<SimTest> tests;
    for (const std::string& name : platform::FindByExtension(platform::NameOf(folder), ".kel", 100000)) {
        std::ifstream in(folder / platform::PathOf(name), std::ios::binary);
        std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.size() < kel::kFileHeaderEnd) continue;
        SimTest test;
        test.stream.assign(bytes.begin() + kel::kPreambleSize, bytes.end());
        test.number = Word(test.stream, kel::kHeaderTestNumber);
        tests.push_back(std::move(test));
    }
    return tests;
}

std::vector<SimTest> TesterSimulator::DemoTests()
{
    std::vector<SimTest> tests;
    for (DemoTest& demo : MakeDemoTests()) tests.push_back({demo.testNumber, std::move(demo.stream)});
    return tests;
}

void TesterSimulator::Receive(const unsigned char* data, std::size_t count)
{
    input_.append(reinterpret_cast<const char*>(data), count);
    // Commands are three characters and a carriage return; ERS and XMT carry a number line.
    while (input_.size() >= 4) {
        const std::size_t end = input_.find('\r');
        if (end == std::string::npos) {
            if (input_.size() > 64) input_.clear();  // noise without an end
            return;
        }
        const std::string command = input_.substr(0, end);
        if (command == "ERS" || command == "XMT") {
            const std::size_t numberEnd = input_.find('\r', end + 1);
            if (numberEnd == std::string::npos) return;
            const int number = std::atoi(input_.substr(end + 1, numberEnd - end - 1).c_str());
            input_.erase(0, numberEnd + 1);
            Command(command, number);
        } else {
            input_.erase(0, end + 1);
            Command(command, 0);
        }
    }
}

void TesterSimulator::Command(const std::string& command, int argument)
{
    commands.push_back(command == "ERS" || command == "XMT" ? command + " " + std::to_string(argument) : command);
    if (faults.silent || vanished_) return;
    output_.clear();  // a new command: the tester starts its new reply
    sentOfReply_ = 0;
    paused_ = false;
    inDirectory_ = false;
    inTransfer_ = false;
    panelControl = false;
    if (command == "???") {
        Send(faults.garbage ? std::string("\x7f\x01\xfe") : std::string("OK\r"));
    } else if (command == "REV") {
        Send(revision_.substr(0, 4) + "\r");
    } else if (command == "DIR") {
        inDirectory_ = true;
        Send(DirectoryReply());
    } else if (command == "ERS") {
        erased.push_back(argument);
        tests_.erase(std::remove_if(tests_.begin(), tests_.end(), [&](const SimTest& t) { return t.number == argument; }),
                     tests_.end());
    } else if (command == "END") {
        panelControl = true;
    } else if (command == "XMT") {
        const auto test = std::find_if(tests_.begin(), tests_.end(), [&](const SimTest& t) { return t.number == argument; });
        if (faults.answerIn) {
            Send("IN");
        } else if (test == tests_.end()) {
            Send("NO");
        } else if (faults.sizeBelow2) {
            Send(std::vector<unsigned char>{0x00, 0x01});
        } else {
            inTransfer_ = true;
            std::vector<unsigned char> reply(test->stream.begin(), test->stream.begin() + 2);
            // Blocks of 20 bytes, the last filled up beyond the test's end.
            std::vector<unsigned char> rest(test->stream.begin() + 2, test->stream.end());
            if (!faults.shortLastBlock) rest.resize((rest.size() + 19) / 20 * 20, 0);
            reply.insert(reply.end(), rest.begin(), rest.end());
            Send(reply);
        }
    }
    if (faults.surplus && !output_.empty()) Send(std::string("SURPLUS"));
}

std::string TesterSimulator::DirectoryReply() const
{
    if (faults.garbage) return "\x01\x02 no colon here\r";
    std::string reply;
    const char* eol = faults.lineFeeds ? "\r\n" : "\r";
    const auto line = [&](const char* key, const std::string& value) {
        std::string name = key;
        if (faults.lowerCaseKeys)
            for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        reply += name + ": " + value + eol;
    };
    std::vector<const SimTest*> listed;
    for (const SimTest& test : tests_) listed.push_back(&test);
    for (int i = 0; i < faults.extraTests; ++i) listed.push_back(&tests_.front());
    for (const SimTest* test : listed) {
        const auto& s = test->stream;
        char date[32], time[32], voltage[16], length[16], duration[16];
        std::snprintf(date, sizeof date, "%02d/%02d/%02d", Bcd(s[6]), Bcd(s[7]), Bcd(s[8]));
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", Bcd(s[9]), Bcd(s[10]), Bcd(s[11]));
        std::snprintf(voltage, sizeof voltage, "%d V", Word(s, kel::kHeaderTestVoltage));
        const int samples = (Word(s, kel::kHeaderLength) - 160) / 4;
        std::snprintf(duration, sizeof duration, "%02d:%02d", samples / 60, samples % 60);
        std::snprintf(length, sizeof length, "%d", Word(s, kel::kHeaderLength));
        const std::string longText = faults.overlongValues ? std::string(300, 'X') : std::string();
        line("TEST NUMBER", std::to_string(test->number));
        line("DATE/TIME", std::string(date) + " " + time);
        line("TEST TYPE", TypeWord(s[kel::kHeaderTestType]));
        line("TEST VOLTAGE", voltage);
        line("TEST TIME", duration);
        line("COMPANY", HeaderText(s, kel::kHeaderCompany) + longText);
        line("LOCATION", HeaderText(s, kel::kHeaderLocation) + longText);
        line("TEST DESC", HeaderText(s, kel::kHeaderDescription));
        line("OPERATOR", HeaderText(s, kel::kHeaderOperator));
        if (faults.unknownKeys) line("BATTERY", "GOOD");
        line("TEST LENGTH", length);
    }
    reply += "\r";
    return reply;
}

void TesterSimulator::Send(const std::string& text)
{
    output_.insert(output_.end(), text.begin(), text.end());
}

void TesterSimulator::Send(const std::vector<unsigned char>& bytes)
{
    output_.insert(output_.end(), bytes.begin(), bytes.end());
}

std::size_t TesterSimulator::Available(std::uint32_t nowMs) const
{
    if (vanished_) return 0;
    if (paused_ && static_cast<std::int32_t>(nowMs - pauseUntil_) < 0) return 0;
    std::size_t available = output_.size();
    if (faults.pauseAfterBytes >= 0 && !paused_ && sentOfReply_ < faults.pauseAfterBytes)
        available = std::min<std::size_t>(available, static_cast<std::size_t>(faults.pauseAfterBytes - sentOfReply_));
    if (faults.byteEveryMs > 0 && inDirectory_)
        available = nowMs - lastByteAt_ >= static_cast<std::uint32_t>(faults.byteEveryMs) ? std::min<std::size_t>(available, 1) : 0;
    return available;
}

std::size_t TesterSimulator::Take(unsigned char* buffer, std::size_t max, std::uint32_t nowMs)
{
    const std::size_t count = std::min(max, Available(nowMs));
    for (std::size_t i = 0; i < count; ++i) {
        buffer[i] = output_.front();
        output_.pop_front();
    }
    sentOfReply_ += static_cast<long>(count);
    if (count > 0) lastByteAt_ = nowMs;
    if (faults.pauseAfterBytes >= 0 && !paused_ && sentOfReply_ == faults.pauseAfterBytes && !output_.empty()) {
        paused_ = true;
        pauseUntil_ = nowMs + static_cast<std::uint32_t>(faults.pauseMs);
    }
    if (inTransfer_ && faults.vanishAfterBytes >= 0 && sentOfReply_ >= faults.vanishAfterBytes) vanished_ = true;
    return count;
}
