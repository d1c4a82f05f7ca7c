// kel7300-sim and kel7300-cli run as programs over a real pseudo-terminal, with
// the port aliases in a configuration folder of the test's own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_file_builder.h"

namespace {

namespace fs = std::filesystem;
using kel_test::TempDir;

// A program started with its own configuration and cache folders, its standard
// output on a pipe and its standard error in a file.
class Program {
public:
    Program(const std::vector<std::string>& arguments, const TempDir& home, const fs::path& folder = ".")
        : errPath_(home.File("stderr-" + std::to_string(counter_++) + ".txt"))
    {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
            setenv("XDG_CACHE_HOME", home.File("cache").c_str(), 1);
            fs::create_directories(home.File("tmp"));
            setenv("TMPDIR", home.File("tmp").c_str(), 1);
            if (chdir(folder.c_str()) != 0) _exit(126);
            const int nothing = open("/dev/null", O_RDONLY);  // no terminal to answer a question
            dup2(nothing, 0);
            dup2(pipeEnds[1], 1);
            const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, 2);
            std::vector<char*> argv;
            for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(pipeEnds[1]);
        out_ = pipeEnds[0];
    }
    ~Program()
    {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            Wait(1000);
        }
        if (out_ >= 0) close(out_);
    }
    // Standard output up to the first newline, waiting at most `ms`.
    std::string FirstLine(int ms = 5000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end)
            if (ReadSome(50) < 0) break;
        return out.substr(0, out.find('\n'));
    }
    // Exit status, or 128 + the signal that ended it; a program that has not
    // ended within `ms` is killed (and the status tells SIGKILL).
    int Wait(int ms = 20000)
    {
        if (status_ >= 0) return status_;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        int raw = 0;
        while (waitpid(pid_, &raw, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &raw, 0);
                break;
            }
            ReadSome(10);
        }
        while (ReadSome(0) > 0) {
        }
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return status_;
    }
    void Signal(int signal) { kill(pid_, signal); }
    std::string Err() const
    {
        std::ifstream file(errPath_);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    std::string out;

private:
    // 1 when bytes came, 0 when none came within `ms`, -1 at the end of the output.
    int ReadSome(int ms)
    {
        pollfd wait{out_, POLLIN, 0};
        if (poll(&wait, 1, ms) <= 0) return 0;
        char buffer[4096];
        const ssize_t got = read(out_, buffer, sizeof buffer);
        if (got <= 0) return -1;
        out.append(buffer, static_cast<std::size_t>(got));
        return 1;
    }

    static inline int counter_ = 0;
    std::string errPath_;
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
};

fs::path Alias(const TempDir& home, int port)
{
    return home.path() / "config" / "Quellton" / "KEL-7300" / "ports" / ("COM" + std::to_string(port));
}

std::string LinkOf(const fs::path& alias)
{
    std::error_code error;
    return fs::read_symlink(alias, error).string();
}

TEST(Simulator, LinksOnlyAPortThatIsFreeOrLeftByADeadSimulator)
{
    const struct {
        const char* name;
        const char* before;  // where COM5 leads beforehand: "" none, "file" a plain file
        bool links;
    } cases[] = {
        {"free port", "", true},
        {"a user's tester, unplugged", "/dev/ttyUSB0", false},
        {"a user's device that exists", "/dev/null", false},
        {"a file", "file", false},
        {"a dead simulator's pty", "/dev/pts/987654", true},
    };
    for (const auto& c : cases) {
        TempDir home;
        const fs::path alias = Alias(home, 5);
        fs::create_directories(alias.parent_path());
        if (std::string(c.before) == "file") std::ofstream(alias) << "mine";
        else if (*c.before) fs::create_symlink(c.before, alias);

        Program sim({KEL_SIM_PATH, "--demo", "--link", "COM5"}, home);
        const std::string line = sim.FirstLine();
        if (c.links) {
            ASSERT_EQ(line.rfind("/dev/pts/", 0), 0u) << c.name << ": " << sim.Err();
            const std::string device = line.substr(0, line.find(' '));
            EXPECT_EQ(LinkOf(alias), device) << c.name;
            sim.Signal(SIGTERM);
            EXPECT_EQ(sim.Wait(), 0) << c.name;
            EXPECT_FALSE(fs::exists(fs::symlink_status(alias))) << c.name << ": its own link goes";
        } else {
            EXPECT_EQ(sim.Wait(), 3) << c.name;
            // The refusal names the alias and where it leads; the alias stays as it was.
            EXPECT_NE(sim.Err().find(alias.string()), std::string::npos) << c.name << ": " << sim.Err();
            if (std::string(c.before) == "file") {
                EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(alias))) << c.name;
            } else {
                EXPECT_NE(sim.Err().find(c.before), std::string::npos) << c.name;
                EXPECT_EQ(LinkOf(alias), c.before) << c.name;
            }
        }
    }
}

TEST(Simulator, LeavesALinkThatWasReplacedWhileItRan)
{
    TempDir home;
    Program sim({KEL_SIM_PATH, "--demo", "--link", "COM6"}, home);
    ASSERT_EQ(sim.FirstLine().rfind("/dev/pts/", 0), 0u) << sim.Err();
    const fs::path alias = Alias(home, 6);
    fs::remove(alias);
    fs::create_symlink("/dev/ttyUSB3", alias);  // the user points COM6 at the tester meanwhile
    sim.Signal(SIGINT);
    sim.Wait();
    EXPECT_EQ(LinkOf(alias), "/dev/ttyUSB3");
}

// The files of `folder`, by name, with their bytes.
std::map<std::string, std::vector<unsigned char>> FilesOf(const fs::path& folder)
{
    std::map<std::string, std::vector<unsigned char>> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = kel_test::ReadFileBytes(entry.path().string());
    return files;
}

TEST(Download, NamesOnlyWhatArrivedAndSaysWhyEachOtherTestFailed)
{
    TempDir home, folder;
    Program sim({KEL_SIM_PATH, "--demo", "--link", "COM7"}, home);
    ASSERT_FALSE(sim.FirstLine().empty()) << sim.Err();
    const std::vector<unsigned char> older = {'o', 'l', 'd'};
    kel_test::WriteFileBytes(folder.File("Test99.kel"), older);  // no test 99 on the tester

    Program cli({KEL_CLI_PATH, "--port", "7", "download", "1", "99", "2"}, home, folder.path());
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_EQ(cli.out, "Test1.kel\nTest2.kel\n");
    EXPECT_NE(cli.Err().find("test 99 not downloaded: Test not found or invalid entry"), std::string::npos)
        << cli.Err();
    EXPECT_EQ(kel_test::ReadFileBytes(folder.File("Test99.kel")), older);
}

// Two testers, one folder: of two downloads of test 7 racing for Test7.kel,
// one writes it and the other refuses; a download again of the same test, or
// of the test whose texts the user corrected, leaves the file as it is.
TEST(Download, TwoTestersRacingForOneNameNeverBothWinAndAnEditIsKept)
{
    TempDir home, folder, testsA, testsB;
    kel_test::TestFileBuilder().TestNumber(7).Date(0x01, 0x02, 0x23).Samples(60, 500, 1e-9).Write(testsA.File("a.kel"));
    kel_test::TestFileBuilder().TestNumber(7).Date(0x03, 0x04, 0x24).Samples(60, 500, 1e-9).Write(testsB.File("b.kel"));
    Program simA({KEL_SIM_PATH, "--tests", testsA.path().string(), "--link", "COM11"}, home);
    Program simB({KEL_SIM_PATH, "--tests", testsB.path().string(), "--link", "COM12"}, home);
    ASSERT_FALSE(simA.FirstLine().empty()) << simA.Err();
    ASSERT_FALSE(simB.FirstLine().empty()) << simB.Err();
    for (int round = 0; round < 5; ++round) {
        fs::remove(folder.File("Test7.kel"));
        Program a({KEL_CLI_PATH, "--port", "11", "download", "7"}, home, folder.path());
        Program b({KEL_CLI_PATH, "--port", "12", "download", "7"}, home, folder.path());
        const int statusA = a.Wait(), statusB = b.Wait();
        EXPECT_EQ(statusA + statusB, 1) << round << ": " << a.Err() << b.Err();
        const Program& winner = statusA == 0 ? a : b;
        const Program& loser = statusA == 0 ? b : a;
        EXPECT_EQ(winner.out, "Test7.kel\n") << round;
        EXPECT_EQ(loser.out, "") << round;
        EXPECT_NE(loser.Err().find("Test7.kel holds another test"), std::string::npos) << loser.Err();
        const auto held = kel_test::ReadFileBytes(folder.File("Test7.kel"));
        const auto won = kel_test::ReadFileBytes((statusA == 0 ? testsA : testsB).File(statusA == 0 ? "a.kel" : "b.kel"));
        EXPECT_EQ(held, won) << round;
    }
    // The same test again; then with the user's texts; then --keep-both from the other tester.
    const auto again = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {KEL_CLI_PATH, "--port"});
        auto program = std::make_unique<Program>(arguments, home, folder.path());
        program->Wait();
        return program;
    };
    fs::copy_file(testsA.File("a.kel"), folder.File("Test7.kel"), fs::copy_options::overwrite_existing);
    auto same = again({"11", "download", "7"});
    EXPECT_EQ(same->Wait(), 0) << same->Err();
    EXPECT_NE(same->Err().find("Test7.kel already in"), std::string::npos) << same->Err();
    auto edit = again({"11", "set-texts", "Test7.kel", "--operator", "MY EDIT"});
    ASSERT_EQ(edit->Wait(), 0) << edit->Err();
    const auto edited = kel_test::ReadFileBytes(folder.File("Test7.kel"));
    auto kept = again({"11", "download", "7"});
    EXPECT_EQ(kept->Wait(), 0) << kept->Err();
    EXPECT_NE(kept->Err().find("kept as it is"), std::string::npos) << kept->Err();
    EXPECT_EQ(kel_test::ReadFileBytes(folder.File("Test7.kel")), edited);
    auto both = again({"12", "download", "--keep-both", "7"});
    EXPECT_EQ(both->Wait(), 0) << both->Err();
    EXPECT_EQ(both->out, "Test7 (2).kel\n");
    EXPECT_EQ(kel_test::ReadFileBytes(folder.File("Test7.kel")), edited);
    EXPECT_EQ(kel_test::ReadFileBytes(folder.File("Test7 (2).kel")), kel_test::ReadFileBytes(testsB.File("b.kel")));
}

TEST(Download, AnInterruptLeavesTheOlderFileAndNoOther)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir home, folder;
        // At the wire rate the polarization-index test takes over a second.
        Program sim({KEL_SIM_PATH, "--demo", "--pace", "--link", "COM8"}, home);
        ASSERT_FALSE(sim.FirstLine().empty()) << sim.Err();
        const std::vector<unsigned char> older = {'o', 'l', 'd'};
        kel_test::WriteFileBytes(folder.File("Test3.kel"), older);

        Program cli({KEL_CLI_PATH, "--port", "8", "download", "3"}, home, folder.path());
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (cli.Err().find("Bytes: 200") == std::string::npos && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_NE(cli.Err().find("Bytes: 200"), std::string::npos) << cli.Err();
        cli.Signal(signal);
        EXPECT_EQ(cli.Wait(), 128 + signal);
        EXPECT_EQ(cli.out, "");
        const auto files = FilesOf(folder.path());
        ASSERT_EQ(files.size(), 1u) << signal << ": " << files.rbegin()->first;
        EXPECT_EQ(files.begin()->second, older) << signal;
    }
}

// An export ended by a signal leaves the workbooks it finished and nothing
// else: no part of a workbook in its folder, nothing in the temporary folder.
TEST(Export, AnInterruptedExportLeavesOnlyWholeWorkbooks)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        TempDir home, folder, out;
        std::vector<std::string> arguments = {KEL_CLI_PATH, "export", "--format", "xlsx", "--to", out.path().string()};
        for (int i = 0; i < 40; ++i) {
            const std::string name = folder.File("T" + std::to_string(i) + ".kel");
            kel_test::TestFileBuilder().TestType(3).Samples(3600, 1000, 1e-9).Write(name);
            arguments.push_back(name);
        }
        Program cli(arguments, home, folder.path());
        ASSERT_FALSE(cli.FirstLine().empty()) << cli.Err();
        cli.Signal(signal);
        EXPECT_EQ(cli.Wait(), 128 + signal) << cli.Err();
        EXPECT_TRUE(fs::is_empty(home.File("tmp")));
        for (const auto& entry : fs::directory_iterator(out.path()))
            EXPECT_NE(cli.out.find(entry.path().string() + "\n"), std::string::npos) << entry.path();
    }
}

TEST(TesterCommands, RevisionDirectoryAndEraseThroughTheSystemsPort)
{
    TempDir home, folder;
    Program sim({KEL_SIM_PATH, "--demo", "--link", "COM9"}, home);
    ASSERT_FALSE(sim.FirstLine().empty()) << sim.Err();
    const auto cli = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {KEL_CLI_PATH, "--port", "9"});
        auto program = std::make_unique<Program>(arguments, home, folder.path());
        program->Wait();
        return program;
    };
    const auto revision = cli({"revision"});
    EXPECT_EQ(revision->Wait(), 0) << revision->Err();
    EXPECT_EQ(revision->out, "KEL-7300 Version: 1.20\n");

    const auto countTests = [&] {
        const auto dir = cli({"dir", "--json"});
        EXPECT_EQ(dir->Wait(), 0) << dir->Err();
        std::vector<int> numbers;
        for (std::size_t at = 0; (at = dir->out.find("\"testNumber\":", at)) != std::string::npos; ++at)
            numbers.push_back(std::atoi(dir->out.c_str() + at + 13));
        return numbers;
    };
    EXPECT_EQ(countTests(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    // Erasing is refused, with nothing erased, for a test the tester does not
    // list and, without a terminal to ask at, without --yes.
    const struct {
        std::vector<std::string> arguments;
        const char* says;
    } refusals[] = {
        {{"erase", "--yes", "2", "99"}, "the KEL-7300 holds no test 99"},
        {{"erase", "2", "6"}, "give --yes to erase without a question"},
    };
    for (const auto& refusal : refusals) {
        const auto refused = cli(refusal.arguments);
        EXPECT_EQ(refused->Wait(), 1) << refusal.says;
        EXPECT_NE(refused->Err().find(refusal.says), std::string::npos) << refused->Err();
    }
    EXPECT_EQ(countTests(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    const auto erase = cli({"erase", "--yes", "2", "6"});
    EXPECT_EQ(erase->Wait(), 0) << erase->Err();
    EXPECT_EQ(countTests(), (std::vector<int>{1, 3, 4, 5, 7}));

    // Every exchange went into the trace file, the bytes of both directions.
    std::ifstream trace(home.File("cache/KEL-7300/serial.txt"));
    const std::string traced{std::istreambuf_iterator<char>(trace), std::istreambuf_iterator<char>()};
    EXPECT_NE(traced.find("DIR"), std::string::npos) << traced.substr(0, 200);
}

TEST(TesterCommands, APlainDirectoryShowsControlCharactersAsEscapes)
{
    TempDir home, tests;
    kel_test::TestFileBuilder().TestNumber(4).Company("\x1b[2J").Location("A\tB").Write(tests.File("T4.kel"));
    Program sim({KEL_SIM_PATH, "--tests", tests.path().string(), "--link", "COM10"}, home);
    ASSERT_FALSE(sim.FirstLine().empty()) << sim.Err();
    Program dir({KEL_CLI_PATH, "--port", "10", "dir"}, home);
    EXPECT_EQ(dir.Wait(), 0) << dir.Err();
    EXPECT_EQ(dir.out.find('\x1b'), std::string::npos) << dir.out;
    EXPECT_NE(dir.out.find("\t\\x1b[2J\tA\\tB\t"), std::string::npos) << dir.out;
}

}  // namespace

namespace {

TEST(Find, TheSimulatorAnswersAmongSilentPortsWhichHearOnlyTheHandshake)
{
    TempDir home;
    // Two silent devices behind COM5 and COM6, the simulated tester behind COM7.
    int silent[2];
    for (int i = 0; i < 2; ++i) {
        silent[i] = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(silent[i]);
        unlockpt(silent[i]);
        fs::create_directories(Alias(home, 5).parent_path());
        fs::create_symlink(ptsname(silent[i]), Alias(home, 5 + i));
    }
    Program sim({KEL_SIM_PATH, "--demo", "--link", "COM7"}, home);
    ASSERT_FALSE(sim.FirstLine().empty());

    Program find({KEL_CLI_PATH, "find"}, home);
    EXPECT_EQ(find.Wait(), 0) << find.Err();
    EXPECT_EQ(find.out.substr(0, find.out.find('\t')), "COM7");
    const std::string err = find.Err();
    EXPECT_LT(err.find("probing COM5"), err.find("probing COM6"));
    EXPECT_LT(err.find("probing COM6"), err.find("probing COM7"));
    for (const int fd : silent) {
        std::string heard(64, '\0');
        pollfd wait{fd, POLLIN, 0};
        const ssize_t got = poll(&wait, 1, 100) > 0 ? read(fd, heard.data(), heard.size()) : 0;
        heard.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        EXPECT_EQ(heard, "???\r");  // the handshake and nothing else
        close(fd);
    }

    // With the tester gone, none answers: said plainly, status 1.
    sim.Signal(SIGTERM);
    sim.Wait();
    fs::remove(Alias(home, 5));
    fs::remove(Alias(home, 6));
    Program none({KEL_CLI_PATH, "find"}, home);
    EXPECT_EQ(none.Wait(), 1);
    EXPECT_NE(none.Err().find("no port answers as a KEL-7300"), std::string::npos) << none.Err();
}

}  // namespace

#ifdef KEL_APP_PATH
// Without a display the desktop program says so and how to go on, and ends
// with status 2 instead of an abort.
TEST(DesktopProgram, WithoutADisplayItSaysWhatToDoInsteadOfAborting)
{
    TempDir dir;
    kel_test::TestFileBuilder().Write(dir.File("T.kel"));
    for (const std::string display : {"-u DISPLAY", "DISPLAY=:97531"}) {
        const std::string command = "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + display + " " + KEL_APP_PATH + " " +
                                    dir.File("T.kel") + " 2>" + dir.File("err.txt");
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw)) << display;
        EXPECT_EQ(WEXITSTATUS(raw), 2) << display;
        std::ifstream in(dir.File("err.txt"));
        const std::string err{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_NE(err.find("there is no display"), std::string::npos) << err;
        EXPECT_NE(err.find("xvfb-run -a kel7300"), std::string::npos) << err;
    }
}
#endif

