// The tester's commands, its directory and the download, against the simulator.
#include "instrument/kel_device.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "instrument/download.h"
#include "testfile/kel_format.h"
#include "support/fake_port.h"
#include "support/posix_only.h"
#include "support/test_context.h"
#include "support/test_file_builder.h"

namespace {

using kel_test::CurrentFolder;
using kel_test::FakeClock;
using kel_test::PortScript;
using kel_test::RecordingPresenter;
using kel_test::ScriptedPort;
using kel_test::SimulatorPort;
using kel_test::TempDir;
using kel_test::TestFileBuilder;

// A test stream of `samples` seconds; L = 160 + 4 * samples.
SimTest MakeSimTest(int number, int samples, const std::string& company = "ACME WORKS")
{
    TestFileBuilder builder;
    builder.TestNumber(static_cast<std::uint16_t>(number)).TestType(3).Company(company).Location("PLANT 2")
        .Description("MOTOR 7").Operator("J. DOE").Samples(samples, 500, 1e-9);
    const auto bytes = builder.Bytes();
    return {number, std::vector<unsigned char>(bytes.begin() + 5, bytes.end())};
}

class TesterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kel_test::SetEnvironment("XDG_CACHE_HOME", cache.path().string());
        Use(simulator);
    }
    void TearDown() override
    {
        serialChannel.Close();
        kel_test::UnsetEnvironment("XDG_CACHE_HOME");
    }
    void Use(TesterSimulator& sim)
    {
        serialChannel.Close();
        t.openPort = [&sim, this] { return std::make_unique<SimulatorPort>(sim, t.services, &writes); };
    }
    void Use(std::shared_ptr<PortScript> script)
    {
        serialChannel.Close();
        t.openPort = [script, this] { return std::make_unique<ScriptedPort>(script, t.services); };
    }
    // What the program shows of an outcome, and whether it succeeded.
    int Said(const Status& outcome)
    {
        Report(presenter, outcome);
        return outcome ? 1 : 0;
    }
    // Downloading test 12 from `sim` over an older T12.kel fails with
    // `message`, keeps the older file and leaves no other file beside it.
    void ExpectRefusedKeepingTheOlderFile(TesterSimulator& sim, const std::string& message, const char* name,
                                          const std::string& cause = {})
    {
        kel_test::WriteFileBytes("T12.kel", {'O', 'L', 'D'});
        Use(sim);
        presenter.messages.clear();
        TestTransfer transfer = MakeTransfer();
        const Status downloaded = transfer.DownloadTest(12, "T12.kel");
        EXPECT_EQ(Said(downloaded), 0) << name;
        EXPECT_EQ(CauseText(downloaded), cause) << name;
        EXPECT_EQ(presenter.Texts(), std::vector<std::string>{message}) << name;
        EXPECT_EQ(kel_test::ReadFileBytes("T12.kel"), (std::vector<std::uint8_t>{'O', 'L', 'D'})) << name;
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(".")) ++files;
        EXPECT_EQ(files, 1u) << name;  // no partial file beside it
    }
    TestTransfer MakeTransfer()
    {
        TestTransfer transfer(serialChannel, "");
        transfer.onTestDone = [this](int, const Status& outcome, const Arrival&) { Report(presenter, outcome); };
        return transfer;
    }

    TempDir cache;
    TempDir folder;
    CurrentFolder here{folder.path()};
    kel_test::TestContext t;
    FakeClock clock{t.services};
    RecordingPresenter& presenter = t.presenter;
    CSerialCom& serialChannel = t.context.serialChannel;
    std::vector<std::size_t> writes;
    TesterSimulator simulator{{MakeSimTest(7, 10), MakeSimTest(12, 30), MakeSimTest(15, 2)}};
    CKELDevice* device = &t.context.kelDevice;
};

TEST_F(TesterTest, RevisionHandshakeEraseAndPanel)
{
    char text[5];
    EXPECT_EQ(Said(device->GetRevision(text)), 1);
    EXPECT_STREQ(text, "1.20");  // the fifth byte is dropped
    EXPECT_EQ(Said(device->Handshake()), 1);
    writes.clear();
    EXPECT_EQ(Said(device->EraseTest(7)), 1);
    EXPECT_EQ(Said(device->EraseTest(1234)), 1);
    EXPECT_EQ(writes, (std::vector<std::size_t>{6, 9}));
    EXPECT_EQ(simulator.erased, (std::vector<int>{7, 1234}));
    EXPECT_EQ(Said(device->ReturnToPanel()), 1);
    EXPECT_TRUE(simulator.panelControl);
    EXPECT_TRUE(presenter.messages.empty());

    simulator.faults.silent = true;
    const std::uint32_t before = clock.now;
    EXPECT_EQ(Said(device->GetRevision(text)), 0);
    EXPECT_STREQ(text, "N/A");
    EXPECT_GE(clock.now - before, 3000u);
    EXPECT_EQ(Said(device->Handshake()), 0);
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"KEL-7300 not responding"});
}

TEST_F(TesterTest, PartOfTheVersionReplyShowsNA)
{
    simulator.faults.pauseAfterBytes = 3;
    simulator.faults.pauseMs = 5000;
    char text[5];
    EXPECT_EQ(Said(device->GetRevision(text)), 0);
    EXPECT_STREQ(text, "N/A");
}

TEST_F(TesterTest, DirectoryOfTheSimulator)
{
    ASSERT_EQ(Said(device->ReadDirectory()), 1);
    ASSERT_EQ(device->entryCount, 3);
    const DirectoryEntry& entry = device->entries[1];
    EXPECT_EQ(entry.testNumber, 12);
    EXPECT_STREQ(entry.dateText, "03/14/26");
    EXPECT_STREQ(entry.timeText, "09:30:00");
    EXPECT_STREQ(entry.testTypeText, "POLARIZATION");
    EXPECT_STREQ(entry.testTypeCode, "PI");
    EXPECT_STREQ(entry.testVoltageText, "500");  // the number without its unit
    EXPECT_STREQ(entry.company, "ACME WORKS");    // the whole name, as location and description
    EXPECT_STREQ(entry.location, "PLANT 2");      // whole values
    EXPECT_STREQ(entry.operatorName, "J. DOE");
    EXPECT_STREQ(entry.testLengthText, "280");
    EXPECT_EQ(simulator.commands, (std::vector<std::string>{"???", "DIR"}));
}

struct DirectoryCase {
    const char* name;
    std::string reply;
    int result;
    int entries;
    std::vector<std::string> messages;
};

TEST_F(TesterTest, DirectoryGrammar)
{
    const std::vector<DirectoryCase> cases = {
        {"only the empty line", "\r", 1, 0, {}},
        {"a group without its length", "TEST NUMBER: 1\rTEST TYPE: STEP\r\r", 1, 0, {}},
        {"lower-case key, lower-case type word", "test number: 4\rTEST TYPE: step\rtest length: 9\r\r", 1, 1, {}},
        {"unknown key skipped", "BATTERY: LOW\rTEST NUMBER: 5\rTEST LENGTH: 9\r\r", 1, 1, {}},
        {"no colon", "TEST NUMBER 5\r\r", 0, 0, {"Can't parse directory"}},
        {"a line feed after each carriage return", "TEST NUMBER: 5\r\nTEST LENGTH: 9\r\n\r", 0, 0,
         {"Can't parse directory"}},
        {"silence in the middle", "TEST NUMBER: 5\r", 0, 0, {"Error reading directory"}},
        {"a key with blanks around it", " TEST LENGTH: 9\r\r", 1, 0, {}},
        {"line at the colon", "TEST LENGTH:\r\r", 1, 1, {}},
    };
    for (const auto& c : cases) {
        auto script = std::make_shared<PortScript>();
        Use(script);
        script->Arrive(clock.now + 100, "OK!");  // the handshake
        script->Arrive(clock.now + 200, c.reply);
        presenter.messages.clear();
        EXPECT_EQ(Said(device->ReadDirectory()), c.result) << c.name;
        EXPECT_EQ(device->entryCount, c.entries) << c.name;
        EXPECT_EQ(presenter.Texts(), c.messages) << c.name;
        EXPECT_EQ(script->sent, "???\rDIR\r") << c.name;
    }
    EXPECT_STREQ(device->entries[0].testLengthText, "");
}

TEST_F(TesterTest, ATestNumberThatDoesNotFitIsNoNumber)
{
    // What the dialog shows is what XMT and ERS send: a wrapped value would be another test.
    const struct {
        const char* line;
        int number;
    } cases[] = {
        {"42", 42},
        {"2147483647", 2147483647},
        {"2147483648", 0},
        {"99999999999999", 0},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", 0},
        {"99999999999999999999999", 0},
        {"x12", 0},
    };
    for (const auto& c : cases) {
        auto script = std::make_shared<PortScript>();
        Use(script);
        script->Arrive(clock.now + 100, "OK!");
        script->Arrive(clock.now + 200, std::string("TEST NUMBER: ") + c.line + "\rTEST LENGTH: 1\r\r");
        ASSERT_EQ(Said(device->ReadDirectory()), 1) << c.line;
        EXPECT_EQ(device->entries[0].testNumber, c.number) << c.line;
    }
}

TEST_F(TesterTest, DirectoryValues)
{
    auto script = std::make_shared<PortScript>();
    Use(script);
    script->Arrive(clock.now + 100, "OK!");  // after the handshake's write, which purges
    script->Arrive(clock.now + 200,
                   "TEST TYPE: DIALECTRIC\rDATE/TIME: 11/02/26\rTEST LENGTH: 1\r"
                   "TEST TYPE: STEPPOLAR\rTEST NUMBER: x12\rTEST NUMBER: 0012\rTEST LENGTH: 1\r"
                   "TEST TYPE: RESISTANCE\rOPERATOR: " + std::string(60, 'O') + "\rTEST LENGTH: 1\r\r");
    ASSERT_EQ(Said(device->ReadDirectory()), 1);
    ASSERT_EQ(device->entryCount, 3);
    EXPECT_STREQ(device->entries[0].testTypeCode, "DD");
    EXPECT_STREQ(device->entries[0].dateText, "11/02/26");
    EXPECT_STREQ(device->entries[0].timeText, "");
    EXPECT_STREQ(device->entries[1].testTypeCode, "SV");   // STEP before POLAR
    EXPECT_EQ(device->entries[1].testNumber, 12);           // the later line wins
    EXPECT_STREQ(device->entries[2].testTypeCode, "R");
    EXPECT_EQ(std::string(device->entries[2].operatorName), std::string(29, 'O'));  // cut to the field
}

TEST_F(TesterTest, MoreThan512TestsAndOverlongValues)
{
    simulator.faults.extraTests = 600;
    simulator.faults.overlongValues = true;
    ASSERT_EQ(Said(device->ReadDirectory()), 1);
    EXPECT_EQ(device->entryCount, 512);
    EXPECT_EQ(std::strlen(device->entries[0].location), 29u);
    EXPECT_STREQ(device->entries[0].company, "ACME WORKSXXXXXXXXXXXXXXXXXXX");  // the whole value, cut to the field
}

// A tester that never ends its directory, however it babbles, is given up on.
TEST_F(TesterTest, ADirectoryReplyThatNeverEndsIsGivenUpOn)
{
    const struct {
        const char* name;
        std::function<void(SimFaults&)> fault;
        const char* message;  // empty: read, 512 tests kept
    } cases[] = {
        {"91 tests past the 512", [](SimFaults& f) { f.extraTests = 600; }, ""},
        {"endless valid lines", [](SimFaults& f) { f.extraTests = 2000; }, "Directory reply too long"},
        {"a byte every 1.5 s", [](SimFaults& f) { f.byteEveryMs = 1500; }, "Directory reply too long"},
    };
    for (const auto& c : cases) {
        TesterSimulator sim({MakeSimTest(7, 10)});
        c.fault(sim.faults);
        Use(sim);
        presenter.messages.clear();
        const std::uint32_t before = clock.now;
        EXPECT_EQ(Said(device->ReadDirectory()), *c.message ? 0 : 1) << c.name;
        EXPECT_EQ(presenter.Texts(), *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
            << c.name;
        EXPECT_LE(clock.now - before, 125000u) << c.name;
        if (!*c.message) {
            EXPECT_EQ(device->entryCount, 512) << c.name;
        }
    }
}

TEST_F(TesterTest, ASecondExchangeInsideAWaitIsRefused)
{
    ExchangeGuard first(serialChannel);
    ASSERT_TRUE(first);
    device->entryCount = 3;
    EXPECT_EQ(Said(device->ReadDirectory()), 0);
    EXPECT_EQ(device->entryCount, 3);  // nothing touched
    char text[5];
    EXPECT_EQ(Said(device->GetRevision(text)), 0);
    EXPECT_TRUE(simulator.commands.empty());
}

struct DownloadCase {
    const char* name;
    int samples;        // L = 160 + 4 samples; -1: L = 2
    std::size_t fileSize;
    std::string bytesText;
};

TEST_F(TesterTest, DownloadLengths)
{
    const std::vector<DownloadCase> cases = {
        {"L = 162: eight full blocks", -2, 167, "160"},
        {"L = 165: the ninth block gives 3 bytes", -3, 170, "163"},
        {"thirty seconds", 30, 285, "278"},
    };
    for (const auto& c : cases) {
        SimTest test = MakeSimTest(40, 0);
        const int length = c.samples == -2 ? 162 : c.samples == -3 ? 165 : 160 + 4 * c.samples;
        if (c.samples >= 0) test = MakeSimTest(40, c.samples);
        test.stream.resize(static_cast<std::size_t>(length));
        test.stream[0] = static_cast<unsigned char>(length >> 8);
        test.stream[1] = static_cast<unsigned char>(length);
        TesterSimulator sim({test});
        Use(sim);
        std::filesystem::remove("T40.kel");  // each case's test is another one
        TestTransfer transfer = MakeTransfer();
        std::string bytesText;  // as the dialog shows the bytes received
        transfer.onProgress = [&bytesText](const DownloadProgress& progress) {
            if (progress.bytesTotal > 0) bytesText = std::to_string(progress.bytesDone);
        };
        EXPECT_EQ(Said(transfer.DownloadTest(40, "T40.kel")), 1) << c.name;
        EXPECT_EQ(std::filesystem::file_size("T40.kel"), c.fileSize) << c.name;
        EXPECT_EQ(bytesText, c.bytesText) << c.name;
        const auto bytes = kel_test::ReadFileBytes("T40.kel");
        EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 5, bytes.end()), test.stream) << c.name;
    }
    EXPECT_TRUE(presenter.messages.empty());
}

// A reply is saved only when it is the test asked for, with a whole header.
TEST_F(TesterTest, AReplyThatIsNotTheRequestedTestIsNotSaved)
{
    const auto stream = [](std::vector<unsigned char> bytes, unsigned length) {
        bytes.resize(length, 'A');
        bytes[0] = static_cast<unsigned char>(length >> 8);
        bytes[1] = static_cast<unsigned char>(length);
        return bytes;
    };
    const struct {
        const char* name;
        std::vector<unsigned char> stream;
        const char* message;
    } cases[] = {
        {"L = 2: no header at all", stream({}, 2), "Test 12 was not saved: the KEL-7300 sent 2 bytes, fewer than a test header"},
        {"L = 159: one byte short of a header", stream(MakeSimTest(12, 0).stream, 159),
         "Test 12 was not saved: the KEL-7300 sent 159 bytes, fewer than a test header"},
        {"bytes without a carriage return", std::vector<unsigned char>(0x4141, 'A'),
         "Test 12 was not saved: the KEL-7300 sent test 16705 instead"},
        {"another test", MakeSimTest(13, 5).stream, "Test 12 was not saved: the KEL-7300 sent test 13 instead"},
    };
    for (const auto& c : cases) {
        TesterSimulator sim({{12, c.stream}});
        ExpectRefusedKeepingTheOlderFile(sim, c.message, c.name);
    }
}

// A download never replaces another test or the user's corrected texts unless told to.
TEST_F(TesterTest, ATakenNameIsReplacedOnlyWhenTheUserSaysSo)
{
    using Bytes = std::vector<std::uint8_t>;
    const SimTest test = MakeSimTest(12, 30);
    Bytes downloaded(kel::kPreamble, kel::kPreamble + 5);
    downloaded.insert(downloaded.end(), test.stream.begin(), test.stream.end());
    Bytes edited = downloaded;
    edited[85] = 'M';  // the operator, corrected by the user
    Bytes another = TestFileBuilder().TestNumber(12).Samples(31, 500, 1e-9).Bytes();
    const Bytes notATest = {'O', 'L', 'D'};
    const auto none = std::optional<NameTakenChoice>();
    const struct {
        const char* name;
        std::map<std::string, Bytes> before;
        std::optional<NameTakenChoice> choice;  // none: nobody answers
        bool ok;
        Arrival::How how;
        const char* path;
        std::map<std::string, Bytes> after;
        const char* message;
    } cases[] = {
        {"free name", {}, none, true, Arrival::Written, "T12.kel", {{"T12.kel", downloaded}}, ""},
        {"the same bytes", {{"T12.kel", downloaded}}, none, true, Arrival::AlreadyThere, "T12.kel",
         {{"T12.kel", downloaded}}, ""},
        {"the same test with the user's texts", {{"T12.kel", edited}}, none, true, Arrival::KeptUsersTexts,
         "T12.kel", {{"T12.kel", edited}}, ""},
        {"another test, nobody answers", {{"T12.kel", another}}, none, false, Arrival::Written, "",
         {{"T12.kel", another}}, "Test 12 was not saved: T12.kel holds another test"},
        {"no test, skipped", {{"T12.kel", notATest}}, NameTakenChoice::Skip, false, Arrival::Written, "",
         {{"T12.kel", notATest}}, "Test 12 was not saved: T12.kel holds no KEL-7300 test"},
        {"another test, replaced", {{"T12.kel", another}}, NameTakenChoice::Replace, true, Arrival::Replaced,
         "T12.kel", {{"T12.kel", downloaded}}, ""},
        {"another test, both kept", {{"T12.kel", another}}, NameTakenChoice::KeepBoth, true, Arrival::KeptBoth,
         "T12 (2).kel", {{"T12.kel", another}, {"T12 (2).kel", downloaded}}, ""},
        {"both kept, the second name taken too", {{"T12.kel", another}, {"T12 (2).kel", notATest}},
         NameTakenChoice::KeepBoth, true, Arrival::KeptBoth, "T12 (3).kel",
         {{"T12.kel", another}, {"T12 (2).kel", notATest}, {"T12 (3).kel", downloaded}}, ""},
        {"both kept before", {{"T12.kel", another}, {"T12 (2).kel", downloaded}}, NameTakenChoice::KeepBoth, true,
         Arrival::AlreadyThere, "T12 (2).kel", {{"T12.kel", another}, {"T12 (2).kel", downloaded}}, ""},
    };
    for (const auto& c : cases) {
        for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove(entry.path());
        for (const auto& [name, bytes] : c.before) kel_test::WriteFileBytes(name, bytes);
        TesterSimulator sim({test});
        Use(sim);
        presenter.messages.clear();
        TestTransfer transfer = MakeTransfer();
        int asked = 0;
        if (c.choice) {
            transfer.onNameTaken = [&](const std::string& path, int number) {
                EXPECT_EQ(path, "T12.kel");
                EXPECT_EQ(number, 12);
                ++asked;
                return *c.choice;
            };
        }
        Arrival arrival;
        EXPECT_EQ(Said(transfer.DownloadTest(12, "T12.kel", &arrival)), c.ok ? 1 : 0) << c.name;
        EXPECT_LE(asked, 1) << c.name;
        if (c.ok) {
            EXPECT_EQ(arrival.how, c.how) << c.name;
            EXPECT_EQ(arrival.path, c.path) << c.name;
        }
        std::map<std::string, Bytes> after;
        for (const auto& entry : std::filesystem::directory_iterator("."))
            after[entry.path().filename().string()] = kel_test::ReadFileBytes(entry.path().string());
        EXPECT_EQ(after, c.after) << c.name;
        EXPECT_EQ(presenter.Texts(), *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
            << c.name;
    }
}

TEST_F(TesterTest, FailedDownloadsLeaveNoPartFileAndKeepAnOlderFile)
{
    const struct {
        const char* name;
        std::function<void(SimFaults&)> fault;
        std::string message;
        std::string cause;  // why the line failed, where it did
    } cases[] = {
        {"short last block", [](SimFaults& f) { f.shortLastBlock = true; }, "Error reading test 12 from KEL-7300",
         "no reply within 5000 ms"},
        {"answered IN", [](SimFaults& f) { f.answerIn = true; }, "Test not found or invalid entry", ""},
        {"size below 2", [](SimFaults& f) { f.sizeBelow2 = true; }, "Test not found or invalid entry", ""},
        {"silent", [](SimFaults& f) { f.silent = true; },
         "KEL-7300 not responding (waiting for test size) on test 12", "no reply within 2000 ms"},
        {"a pause past the block time-out", [](SimFaults& f) { f.pauseAfterBytes = 100; f.pauseMs = 6000; },
         "Error reading test 12 from KEL-7300", "no reply within 5000 ms"},
        {"the device vanishes", [](SimFaults& f) { f.vanishAfterBytes = 50; }, "Error reading test 12 from KEL-7300",
         "the serial device went away"},
    };
    for (const auto& c : cases) {
        TesterSimulator sim({MakeSimTest(12, 30)});
        c.fault(sim.faults);
        ExpectRefusedKeepingTheOlderFile(sim, c.message, c.name, c.cause);
    }
    // The simulator answers "NO" for a test it does not hold.
    Use(simulator);
    TestTransfer transfer = MakeTransfer();
    presenter.messages.clear();
    EXPECT_EQ(Said(transfer.DownloadTest(99, "T99.kel")), 0);
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Test not found or invalid entry"});
    EXPECT_FALSE(std::filesystem::exists("T99.kel"));
    EXPECT_EQ(Said(transfer.DownloadTest(7, "no/such/folder/T7.kel")), 0);
    EXPECT_EQ(presenter.Texts().back(), "Can't open file no/such/folder/T7.kel");
}

TEST_F(TesterTest, EachTimeOutHoldsJustInsideItAndEndsJustOutside)
{
    // The size has 2 s, each block 5 s, each directory byte 2 s: a pause 100 ms
    // either side of each, so that swapping any two of them fails here.
    const struct {
        const char* name;
        bool directory;
        long pauseAfterBytes;  // of the reply
        int pauseMs;
        const char* message;   // empty: the exchange succeeds
    } cases[] = {
        {"size, inside", false, 1, 1900, ""},  // between the two size bytes
        {"size, outside", false, 1, 2100, "KEL-7300 not responding (waiting for test size) on test 12"},
        {"block, inside", false, 100, 4900, ""},
        {"block, outside", false, 100, 5100, "Error reading test 12 from KEL-7300"},
        {"directory byte, inside", true, 10, 1900, ""},
        {"directory byte, outside", true, 10, 2100, "Error reading directory"},
    };
    for (const auto& c : cases) {
        TesterSimulator sim({MakeSimTest(12, 30)});
        sim.faults.pauseAfterBytes = c.pauseAfterBytes;
        sim.faults.pauseMs = c.pauseMs;
        Use(sim);
        presenter.messages.clear();
        TestTransfer transfer = MakeTransfer();
        const int result = c.directory ? Said(device->ReadDirectory()) : Said(transfer.DownloadTest(12, "T12.kel"));
        EXPECT_EQ(result, *c.message ? 0 : 1) << c.name;
        EXPECT_EQ(presenter.Texts(), *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
            << c.name;
    }
}

TEST_F(TesterTest, AFullDiskLeavesNoPartialFileAndTheOlderOne)
{
    KEL_POSIX_ONLY("a file-size limit (setrlimit)");
#ifndef _WIN32
    // A file-size limit makes every write past 200 bytes fail, as a full disk does.
    kel_test::WriteFileBytes("T12.kel", {'O', 'L', 'D'});
    signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 200;  // test 12 is 285 bytes
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    TestTransfer transfer = MakeTransfer();
    const int result = Said(transfer.DownloadTest(12, "T12.kel"));
    setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Can't write file T12.kel"});
    EXPECT_EQ(kel_test::ReadFileBytes("T12.kel"), (std::vector<std::uint8_t>{'O', 'L', 'D'}));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(".")) ++files;
    EXPECT_EQ(files, 1u);
#endif
}

TEST_F(TesterTest, SurplusBytesAreDiscardedByTheNextCommand)
{
    simulator.faults.surplus = true;
    EXPECT_EQ(Said(device->Handshake()), 1);
    char text[5];
    EXPECT_EQ(Said(device->GetRevision(text)), 1);
    EXPECT_STREQ(text, "1.20");
    ASSERT_EQ(Said(device->ReadDirectory()), 1);
    EXPECT_EQ(device->entryCount, 3);
    TestTransfer transfer = MakeTransfer();
    EXPECT_EQ(Said(transfer.DownloadTest(7, "T7.kel")), 1);
    EXPECT_EQ(std::filesystem::file_size("T7.kel"), 5u + 160 + 40);
}

TEST_F(TesterTest, RefusalsInAnyCase)
{
    for (const char* refusal : {"in", "No", "nO", "IN"}) {
        auto script = std::make_shared<PortScript>();
        Use(script);
        script->Arrive(clock.now + 50, std::string(refusal) + "TRAILING");
        presenter.messages.clear();
        TestTransfer transfer = MakeTransfer();
        EXPECT_EQ(Said(transfer.DownloadTest(3, "T3.kel")), 0) << refusal;
        EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Test not found or invalid entry"}) << refusal;
        EXPECT_EQ(script->sent, "XMT\r3\r");
        EXPECT_FALSE(std::filesystem::exists("T3.kel"));
    }
}

TEST_F(TesterTest, ABatchWithAMissingTestAndAbort)
{
    TestTransfer transfer = MakeTransfer();
    std::snprintf(transfer.filePrefix, sizeof transfer.filePrefix, "Job");
    transfer.testCount = 3;
    transfer.testNumbers[0] = 7;
    transfer.testNumbers[1] = 8;  // not on the tester
    transfer.testNumbers[2] = 15;
    const std::uint32_t before = clock.now;
    EXPECT_FALSE(transfer.AllArrived(transfer.DownloadAll()));
    EXPECT_GE(clock.now - before, 600u);  // 200 ms before each test
    EXPECT_TRUE(std::filesystem::exists("Job7.kel"));
    EXPECT_FALSE(std::filesystem::exists("Job8.kel"));
    EXPECT_TRUE(std::filesystem::exists("Job15.kel"));
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Test not found or invalid entry"});

    // Abort during the first test: its file is not written and the rest is skipped.
    simulator.commands.clear();
    TestTransfer aborted = MakeTransfer();
    aborted.testCount = 2;
    aborted.testNumbers[0] = 12;
    aborted.testNumbers[1] = 15;
    aborted.onProgress = [&aborted](const DownloadProgress& progress) {
        if (progress.bytesDone == 40) aborted.cancel.Cancel();
    };
    const std::vector<TestOutcome> outcomes = aborted.DownloadAll();
    ASSERT_EQ(outcomes.size(), 1u);  // the second test is not tried
    EXPECT_EQ(outcomes[0].status.problem, Problem::Aborted);
    EXPECT_FALSE(aborted.AllArrived(outcomes));
    EXPECT_FALSE(std::filesystem::exists("Test12.kel"));
    EXPECT_FALSE(std::filesystem::exists("Test15.kel"));
    EXPECT_EQ(simulator.commands, std::vector<std::string>{"XMT 12"});

    char path[TestTransfer::kPathSize];
    EXPECT_FALSE(TestTransfer::MakePath(std::string(250, 'p'), 123456, path));
    EXPECT_TRUE(TestTransfer::MakePath("", 12, path));
    EXPECT_STREQ(path, "12.kel");
}

}  // namespace
