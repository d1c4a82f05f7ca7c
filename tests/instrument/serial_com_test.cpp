#include "instrument/serial_com.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/trace_file.h"
#include "support/fake_port.h"
#include "support/posix_only.h"
#include "support/temp_dir.h"

namespace {

using kel_test::FakeClock;
using kel_test::PortScript;
using kel_test::RecordingPresenter;
using kel_test::ScriptedPort;
using kel_test::TempDir;

class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kel_test::SetEnvironment("XDG_CACHE_HOME", cache.path().string());
#ifdef _WIN32
        // Windows keeps the trace in a fixed folder, which the user makes to have one.
        std::filesystem::create_directories(std::filesystem::path(platform::TraceFilePath()).parent_path());
#endif
    }
    void TearDown() override
    {
        channel.reset();
        kel_test::UnsetEnvironment("XDG_CACHE_HOME");
    }
    // What the program shows of an outcome, and whether it succeeded.
    int Said(const Status& outcome)
    {
        Report(presenter, outcome);
        return outcome ? 1 : 0;
    }
    std::string Trace()
    {
        channel->Close();
        std::ifstream in(platform::TraceFilePath(), std::ios::binary);
        std::string trace{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
#ifdef _WIN32
        // The trace is a text file: Windows ends its lines with CR LF.
        for (std::size_t at = 0; (at = trace.find("\r\n", at)) != std::string::npos;) trace.erase(at, 1);
#endif
        return trace;
    }

    TempDir cache;
    platform::Services services;
    FakeClock clock{services};
    RecordingPresenter presenter;
    std::shared_ptr<PortScript> script = std::make_shared<PortScript>();
    std::unique_ptr<CSerialCom> channel = std::make_unique<CSerialCom>(
        services, [this] { return std::make_unique<ScriptedPort>(script, services); });
};

TEST_F(ChannelTest, ReadTimeOuts)
{
    const struct {
        const char* name;
        std::uint32_t arrival;  // after the read starts
        int timeout;
        bool ok;
    } cases[] = {
        {"-1 means 3000: last byte at 3000 ms", 3000, -1, true},
        {"-1 means 3000: last byte at 3001 ms", 3001, -1, false},
        {"500 ms", 500, 500, true},
        {"the expiry is tested before the queue", 501, 500, false},
    };
    for (const auto& c : cases) {
        script->incoming.clear();
        ASSERT_EQ(Said(channel->Open()), 1);
        const std::uint32_t start = clock.now;
        script->Arrive(start, "AB");
        script->Arrive(start + c.arrival, "C");
        unsigned char buffer[3];
        EXPECT_EQ(Said(channel->ReadBytes(buffer, 3, c.timeout)) != 0, c.ok) << c.name;
    }
    unsigned char none;
    EXPECT_EQ(Said(channel->ReadBytes(&none, 0, 10)), 1);  // count 0: nothing to wait for
}

TEST_F(ChannelTest, ReadLineRules)
{
    const struct {
        std::string bytes;
        int size;
        bool ok;
        std::string line;
    } cases[] = {
        {std::string("A\0B\r", 4), 10, true, "A B"},  // NUL reads as a blank
        {"12345678\r", 10, true, "12345678"},         // size - 2 characters fit
        {"123456789\r", 10, false, ""},               // one more does not
        {"\r", 10, true, ""},
        {"\nX\r", 10, true, "\nX"},                   // a line feed is an ordinary character
    };
    for (const auto& c : cases) {
        script->incoming.clear();
        script->Arrive(clock.now, c.bytes);
        char buffer[16] = {};
        EXPECT_EQ(Said(channel->ReadLine(buffer, c.size, 100)) != 0, c.ok) << c.bytes;
        if (c.ok) {
            EXPECT_EQ(std::string(buffer), c.line);
        }
    }
    // The time-out is per byte: two bytes 80 ms apart each make it within 100 ms.
    script->incoming.clear();
    script->Arrive(clock.now + 80, "A");
    script->Arrive(clock.now + 160, "B");
    script->Arrive(clock.now + 240, "\r");
    char line[8];
    EXPECT_EQ(Said(channel->ReadLine(line, 8, 100)), 1);
}

TEST_F(ChannelTest, WritesGoOutInPiecesAfterAPurge)
{
    script->Arrive(clock.now, "STALE");
    const std::string data(300, 'x');
    ASSERT_EQ(Said(channel->Write(data.data(), 300)), 1);
    EXPECT_EQ(script->writes, (std::vector<std::size_t>{128, 128, 44}));
    EXPECT_TRUE(script->incoming.empty());  // unread input is thrown away
    EXPECT_EQ(script->purges, 1);
}

TEST_F(ChannelTest, OpenOnDemandOnceAndAgainAfterClose)
{
    EXPECT_EQ(Said(channel->Open()), 1);
    EXPECT_EQ(Said(channel->Open()), 1);
    EXPECT_EQ(Said(channel->Write("END\r", 4)), 1);
    EXPECT_EQ(script->opens, 1);  // an open channel touches nothing
    channel->Close();
    EXPECT_FALSE(channel->handle);
    channel->port = 12;
    EXPECT_EQ(Said(channel->Write("END\r", 4)), 1);
    EXPECT_EQ(script->opens, 2);
    EXPECT_TRUE(presenter.messages.empty());
}

TEST_F(ChannelTest, FailuresWarnAndLeaveTheChannelClosed)
{
    script->failOpen = true;
    EXPECT_EQ(Said(channel->Write("END\r", 4)), 0);
    EXPECT_EQ(Said(channel->Write("END\r", 4)), 0);  // tried and reported again
    ASSERT_EQ(presenter.messages.size(), 2u);
    EXPECT_EQ(presenter.messages[0].caption, "Warning");
    EXPECT_EQ(presenter.messages[0].text.substr(0, 59),
              "Can't open com port for device /dev/test (COM1) error=13\nPe");
    EXPECT_NE(presenter.messages[0].text.find("dialout"), std::string::npos);  // where the group is not known
    script->group = "uucp";
    presenter.messages.clear();
    EXPECT_EQ(Said(channel->Write("END\r", 4)), 0);
    ASSERT_EQ(presenter.messages.size(), 1u);
    EXPECT_NE(presenter.messages[0].text.find("the group uucp that owns the device: sudo usermod -aG uucp $USER, "
                                              "then log in again"),
              std::string::npos)
        << presenter.messages[0].text;

    presenter.messages.clear();
    script->failOpen = false;
    script->refuseSettings = true;
    EXPECT_EQ(Said(channel->Open()), 0);
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Can't initialize com settings"});
    script->refuseSettings = false;
    EXPECT_EQ(Said(channel->Open()), 1);  // released, so configured afresh
    EXPECT_EQ(script->configured, 2);
}

TEST_F(ChannelTest, AVanishedDeviceFailsOnceAndIsReleased)
{
    ASSERT_EQ(Said(channel->Open()), 1);
    script->vanish = true;
    unsigned char buffer[4];
    EXPECT_EQ(Said(channel->ReadBytes(buffer, 4, 1000)), 0);
    EXPECT_FALSE(channel->handle);
    EXPECT_TRUE(presenter.messages.empty());  // the caller says it, once
    script->vanish = false;
    EXPECT_EQ(Said(channel->Write("???\r", 4)), 1);
    EXPECT_EQ(script->opens, 2);
}

TEST_F(ChannelTest, TraceMarksEachChangeOfDirection)
{
    Said(channel->Write("ERS\r7\r", 6));
    Said(channel->Write("ERS\r8\r", 6));
    script->Arrive(clock.now, "OK");
    unsigned char reply[2];
    Said(channel->ReadBytes(reply, 2, 100));
    Said(channel->Write("END\r", 4));
    EXPECT_EQ(Trace(), "+++\nSEND:ERS\r7\rSEND:ERS\r8\r+++\nOK+++\nSEND:END\r");
}

TEST_F(ChannelTest, NoTraceFolderNoTrace)
{
#ifdef _WIN32
    GTEST_SKIP() << "the trace's folder is fixed on Windows";
#endif
    const std::string blocker = cache.File("not-a-folder");
    std::ofstream(blocker) << "x";
    kel_test::SetEnvironment("XDG_CACHE_HOME", blocker);
    EXPECT_EQ(Said(channel->Write("END\r", 4)), 1);
    EXPECT_FALSE(channel->trace.IsOpen());
}

// A babbling line cannot fill the disk: past its limit the trace starts over,
// keeping the previous file as one older generation.
TEST_F(ChannelTest, TheTraceStaysBoundedWithOneOlderGeneration)
{
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    };
    platform::TraceFile trace(100);
    ASSERT_TRUE(trace.Open());
    for (int i = 0; i < 25; ++i) trace.Write(std::string(10, static_cast<char>('a' + i)).c_str());
    trace.Close();
    const std::string current = read(platform::TraceFilePath());
    const std::string older = read(platform::OlderTraceFilePath());
    EXPECT_EQ(current, std::string(10, 'u') + std::string(10, 'v') + std::string(10, 'w') + std::string(10, 'x') +
                           std::string(10, 'y'));
    EXPECT_EQ(older.size(), 100u);
    EXPECT_EQ(older.substr(0, 10), std::string(10, 'k'));
}

TEST(CTimer, ExpiresAfterItsDurationAlsoAcrossTheWrap)
{
    platform::Services services;
    FakeClock clock(services, 0xFFFFFF00u);
    CTimer timer(services);
    timer.Start(0x200);
    clock.now = 0x100;  // wrapped: 0x200 ms have passed
    EXPECT_EQ(timer.IsExpired(), 0);
    clock.now = 0x101;
    EXPECT_EQ(timer.IsExpired(), 1);
    clock.now = 0;  // latched
    EXPECT_EQ(timer.IsExpired(), 1);

    const std::uint32_t before = clock.now;
    Delay(services, 200);
    EXPECT_GT(clock.now - before, 200u);
}

TEST(BuildCommDCB, ModeTexts)
{
    PortSettings settings;
    EXPECT_EQ(BuildCommDCB("baud=19200 parity=N data=8 stop=1", settings), 1);
    EXPECT_EQ(settings.baudRate, 19200);
    EXPECT_EQ(settings.parity, 'N');
    EXPECT_EQ(BuildCommDCB("baud=fast parity=N data=8 stop=1", settings), 0);
    EXPECT_EQ(BuildCommDCB("baud=19200 parity=N data=8 stop=1 extra", settings), 0);
}

}  // namespace
