// kel7300-cli run as a user runs it: arguments in, text and exit status out.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_file_builder.h"
#include "support/openpyxl_reader.h"
#include "support/xlrd_reader.h"

namespace {

using kel_test::TempDir;
using kel_test::TestFileBuilder;
using Json = nlohmann::ordered_json;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunCli(const std::string& arguments, const TempDir& dir)
{
    const std::string errPath = dir.File("stderr.txt");
    const std::string command = std::string(KEL_CLI_PATH) + " " + arguments + " 2>" + errPath;
    CliRun run{};
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream err(errPath);
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return run;
}

std::vector<std::string> Keys(const Json& json)
{
    std::vector<std::string> keys;
    for (const auto& item : json.items()) keys.push_back(item.key());
    return keys;
}

const std::vector<std::string> kHead = {"path", "testNumber", "dateParts", "timeParts", "dateText", "timeText",
    "dateTimeText", "testType", "testTypeName", "operatorName", "description", "location", "company",
    "finalResistanceText", "testVoltageText", "finalCurrentText", "capacitanceText", "durationText",
    "humFrequencyText"};
const std::vector<std::string> kTail = {"testVoltage", "piRatioText", "ddRatioText", "resistanceAt1MinText",
    "currentAt1MinText", "hasTemperature"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(Cli, InfoJsonKeysFollowTheRecordAndWhatTheLoadSet)
{
    TempDir dir;
    const std::vector<std::string> measuredEquiv = {"equivRes40C", "equivRes40CText", "equivRes20C",
                                                    "equivRes20CText"};
    const struct {
        const char* name;
        TestFileBuilder builder;
        const char* flags;
        std::vector<std::string> keys;
    } cases[] = {
        {"PI with temperature, header only",
         TestFileBuilder().TestType(3).Temperature(70).Measured(63, 'G', 2, 1000), "",
         Join({kHead, {"testTypeCode", "sampleCount", "finalCurrent", "finalResistance"}, measuredEquiv, kTail,
               {"temperatureText", "hasCapacitance"}})},
        {"IR not measured, with samples", TestFileBuilder().TestType(2).Samples(2, 500, 1e-9), "--samples",
         Join({kHead, {"testTypeCode", "sampleCount", "currents", "resistances", "finalCurrent", "finalResistance",
                       "equivRes40CText", "equivRes20CText"}, kTail, {"hasCapacitance"}})},
        {"DD", TestFileBuilder().TestType(4).Temperature(70).Measured(63, 'G', 2, 1000), "",
         Join({kHead, {"testTypeCode", "sampleCount", "finalCurrent", "finalResistance"}, kTail,
               {"temperatureText", "hasCapacitance"}})},
        {"SV", TestFileBuilder().TestType(5).StepInterval(0, 1).Samples(2, 500, 1e-9), "",
         Join({kHead, {"stepIntervalText", "testTypeCode", "sampleCount", "stepCount", "stepIntervalSeconds",
                       "stepResultText", "finalCurrent", "finalResistance", "equivRes40CText", "equivRes20CText"},
               kTail, {"hasCapacitance"}})},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File("t.kel");
        c.builder.Write(path);
        const CliRun run = RunCli(std::string("info --json ") + c.flags + " " + path, dir);
        ASSERT_EQ(run.status, 0) << c.name << run.err;
        EXPECT_EQ(Keys(Json::parse(run.out)), c.keys) << c.name;
    }
}

TEST(Cli, InfoJsonValues)
{
    TempDir dir;
    const std::string path = dir.File("v.kel");
    TestFileBuilder()
        .TestType(5).StepInterval(0, 1).Sample(500, 0xB1F4).Sample(1000, 0x5000).Sample(700, 0x31F4)
        .Measured(17, 'G', 0x02, 1000).Measured(21, 'O', 0, 0).Measured(37, 'n', 0x08, 1)
        .Company("\xC9" "COLE").Write(path);
    const CliRun run = RunCli("info --json --samples " + path, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const Json json = Json::parse(run.out);
    EXPECT_EQ(json["company"], "\xC3\x89" "COLE");
    EXPECT_EQ(json["stepCount"], 3);
    EXPECT_EQ(json["stepResultText"], Json({"AT 00:01,     0V,  R = 1.00 G", "AT 00:02,     0V,  R = > 65 T",
                                             "AT 00:03,     0V,  R = 0.00 "}));
    EXPECT_EQ(json["finalCurrent"], Json({{"value", 0.100000001}, {"unit", "n"}}));
    // Floats as %.9g prints them: 5e-9 is not exact in binary.
    EXPECT_NE(run.out.find("\"currents\":[4.99999997e-09,0.0,0.5]"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"resistances\":[99999998000.0,0.0,1400.0]"), std::string::npos) << run.out;
}

TEST(Cli, InfoReportsEachBadFileAndGoesOn)
{
    TempDir dir;
    const std::string good = dir.File("good.kel");
    TestFileBuilder().Write(good);
    const std::string junk = dir.File("junk.kel");
    TestFileBuilder().Magic(0).Write(junk);
    const CliRun run = RunCli("info " + dir.File("missing.kel") + " " + junk + " " + good, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("KEL-7300: Can't open file " + dir.File("missing.kel")), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(junk + ": not a KEL-7300 test file"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("path: " + good), std::string::npos);
}

TEST(Cli, ListPrintsTheCatalogue)
{
    TempDir dir;
    TestFileBuilder().TestType(3).Date(0x01, 0x02, 0x03).Company("CO").Location("LOC").Description("DESC")
        .Operator("OP").Write(dir.File("B.KEL"));
    TestFileBuilder().Magic(0).Write(dir.File("a.kel"));
    const CliRun text = RunCli("list " + dir.path().string(), dir);
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "a.kel\t\t\t\t\t\t\nB.KEL\tPI\t01/02/03\tCO\tLOC\tDESC\tOP\n");
    const CliRun json = RunCli("list --json " + dir.path().string(), dir);
    EXPECT_EQ(json.out.substr(json.out.find('\n') + 1),
              "{\"fileNames\":\"B.KEL\",\"typeCodes\":\"PI\",\"dateTexts\":\"01/02/03\",\"companies\":\"CO\","
              "\"locations\":\"LOC\",\"descriptions\":\"DESC\",\"operators\":\"OP\"}\n");
    EXPECT_EQ(RunCli("list " + dir.File("nowhere"), dir).status, 1);

    // File names are the system's own bytes, printed as they are; texts are Latin-1.
    TestFileBuilder().Company("\xC9" "COLE").Write(dir.File("\xC3\xA9t\xC3\xA9.kel"));
    TestFileBuilder().Write(dir.File("bad\xFF.kel"));
    const CliRun names = RunCli("list " + dir.path().string(), dir);
    EXPECT_NE(names.out.find("\xC3\xA9t\xC3\xA9.kel\tR\t03/14/26\t\xC3\x89" "COLE\t"), std::string::npos) << names.out;
    const CliRun namesJson = RunCli("list --json " + dir.path().string(), dir);
    EXPECT_EQ(namesJson.status, 0) << namesJson.err;
    EXPECT_NE(namesJson.out.find("\"fileNames\":\"bad\xEF\xBF\xBD.kel\""), std::string::npos) << namesJson.out;
}

TEST(Cli, SetTextsChangesOnlyTheTextBytes)
{
    TempDir dir;
    const std::string path = dir.File("t.kel");
    TestFileBuilder().Samples(30, 500, 1e-9).Operator("OLD").Location("KEEP").Write(path);
    const auto before = kel_test::ReadFileBytes(path);
    // A character that a test file cannot hold is refused, and nothing is written.
    const CliRun euro = RunCli("set-texts " + path + " --operator X --company '\xC3\x89NERGIE \xE2\x82\xAC'", dir);
    EXPECT_EQ(euro.status, 1);
    EXPECT_NE(euro.err.find("Latin-1 characters only"), std::string::npos) << euro.err;
    EXPECT_EQ(kel_test::ReadFileBytes(path), before);
    const CliRun run = RunCli("set-texts " + path + " --operator 'A VERY LONG OPERATOR NAME' --company '\xC3\x89NERGIE ?'", dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto after = kel_test::ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i < 85 || i >= 165) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }
    EXPECT_EQ(std::string(after.begin() + 85, after.begin() + 105), "A VERY LONG OPERATOR");
    EXPECT_EQ(std::string(after.begin() + 125, after.begin() + 129), "KEEP");
    EXPECT_EQ(std::string(after.begin() + 145, after.begin() + 155), std::string("\xC9NERGIE ?") + '\0');

    TestFileBuilder().Magic(0).Write(dir.File("bad.kel"));
    EXPECT_EQ(RunCli("set-texts " + dir.File("bad.kel") + " --operator X", dir).status, 1);
}

TEST(Cli, MakeDemoThenListAndHelp)
{
    TempDir dir;
    const CliRun demo = RunCli("make-demo " + dir.File("demo"), dir);
    ASSERT_EQ(demo.status, 0) << demo.err;
    const CliRun list = RunCli("list " + dir.File("demo"), dir);
    EXPECT_NE(list.out.find("Test1.kel\tR\t"), std::string::npos);
    EXPECT_NE(list.out.find("Test5.kel\tSV\t"), std::string::npos);

    const CliRun help = RunCli("--help", dir);
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"info", "list", "set-texts", "make-demo"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    EXPECT_EQ(RunCli("frobnicate", dir).status, 1);
    EXPECT_EQ(RunCli("", dir).status, 1);
}

TEST(Cli, ExportStaysInItsFolderAndNeverReplacesItsOwnWork)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "a");
    std::filesystem::create_directories(dir.path() / "b");
    std::filesystem::create_directories(dir.path() / "out" / "my.folder");
    TestFileBuilder().TestNumber(1).Write(dir.File("a/T.kel"));
    TestFileBuilder().TestNumber(2).Write(dir.File("b/T.kel"));
    TestFileBuilder().TestNumber(3).Write(dir.File("my"));
    const std::string longName(246, 'N');  // a 250-character test file name makes a 250-character workbook
    TestFileBuilder().TestNumber(4).Write(dir.File(longName + ".kel"));
    const std::string out = dir.File("out");
    const struct {
        std::string arguments;
        int status;
        std::vector<std::string> written;  // below dir
        std::string err;                   // a part of standard error
        std::string cells;                 // B1 and B2 of the first workbook, as xlrd reads them
    } cases[] = {
        {"export --to '' " + dir.File("a/T.kel"), 1, {}, "--to names no folder", ""},
        {"export --to " + dir.File("missing.kel") + " " + dir.File("my"), 1, {}, "no folder", ""},
        {"export --to " + out + "/my.folder " + dir.File("my"), 0, {"out/my.folder/my.xls"}, "",
         "0,1,49,0,my\n1,0,49,0,Test Number:\n1,1,49,0,3\n"},
        {"export --to " + out + " " + dir.File("a/T.kel") + " " + dir.File("b/T.kel"), 1, {"out/T.xls"},
         dir.File("b/T.kel") + " is not exported", "0,1,49,0,T.kel\n1,0,49,0,Test Number:\n1,1,49,0,1\n"},
        {"export --to " + out + " " + dir.File(longName + ".kel"), 0, {"out/" + longName + ".xls"}, "",
         "1,1,49,0,4\n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(dir.path() / "out" / "my.folder");
        const CliRun run = RunCli(c.arguments, dir);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.arguments << "\n" << run.err;
        std::vector<std::string> written;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
            if (entry.path().extension() == ".xls")
                written.push_back(std::filesystem::relative(entry.path(), dir.path()).string());
        EXPECT_EQ(written, c.written) << c.arguments;
        if (!c.written.empty()) {
            // B1 is the plain file name, as the desktop program writes it; the first test's workbook stands.
            const std::string cells = kel_test::ReadWithXlrd(dir.File(c.written[0]));
            EXPECT_NE(cells.find(c.cells), std::string::npos) << cells.substr(0, 200);
        }
    }
}

// A file reported in place stays there after a crash: once it is linked or
// renamed into its folder, the folder itself is synced before the command ends.
TEST(Cli, EachFilePutInPlaceIsFollowedByASyncOfItsFolder)
{
    if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
    TempDir dir;
    const std::string test = dir.File("t.kel");
    TestFileBuilder().TestType(2).Samples(60, 500, 1e-9).Write(test);
    std::filesystem::create_directories(dir.path() / "out");
    const std::string out = (dir.path() / "out").string();
    const struct {
        const char* name;
        std::string arguments;
        std::string folder;
    } cases[] = {
        {"set-texts", "set-texts " + test + " --operator X", dir.path().string()},
        {"export csv", "export --format csv --to " + out + " " + test, out},
        {"export xls", "export --to " + out + " " + test, out},
        {"make-demo", "make-demo " + dir.File("demo"), dir.File("demo")},
    };
    for (const auto& c : cases) {
        const std::string log = dir.File("strace.txt");
        // (The leak check of a sanitized build cannot run under a tracer.)
        const std::string command = "ASAN_OPTIONS=detect_leaks=0 strace -f -qq "
                                    "-e trace=openat,fsync,rename,renameat,renameat2,link,linkat -o " +
                                    log + " " + KEL_CLI_PATH + " " + c.arguments + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << c.name;
        std::ifstream in(log);
        std::string line;
        // After each rename or link into a folder: an open of that folder and an fsync of that descriptor.
        int placed = 0, unsynced = 0;
        std::string pendingFolder, folderFd;
        while (std::getline(in, line)) {
            const bool success = line.size() > 3 && line.compare(line.size() - 3, 3, "= 0") == 0;
            if ((line.find("rename") != std::string::npos || line.find("link") != std::string::npos) && success) {
                const std::size_t end = line.rfind('"');
                const std::size_t begin = line.rfind('"', end - 1) + 1;
                // One sync of a folder covers every name put into it before.
                const std::string folder =
                    std::filesystem::path(line.substr(begin, end - begin)).parent_path().string();
                if (!pendingFolder.empty() && pendingFolder != folder) ++unsynced;
                pendingFolder = std::filesystem::path(line.substr(begin, end - begin)).parent_path().string();
                folderFd.clear();
                ++placed;
            } else if (!pendingFolder.empty() &&
                       line.find("openat(AT_FDCWD, \"" + pendingFolder + "\"") != std::string::npos &&
                       line.find("O_DIRECTORY") != std::string::npos) {
                folderFd = line.substr(line.rfind("= ") + 2);
            } else if (!folderFd.empty() && line.find("fsync(" + folderFd + ")") != std::string::npos) {
                pendingFolder.clear();
                folderFd.clear();
            }
        }
        if (!pendingFolder.empty()) ++unsynced;
        EXPECT_GT(placed, 0) << c.name;
        EXPECT_EQ(unsynced, 0) << c.name;
    }
}

TEST(Cli, MakeDemoNeverReplacesAFileUnlessForced)
{
    const struct {
        const char* name;
        bool userTest;     // a real test under a download name beforehand
        bool historyFile;  // a file named "history" where the history folder goes
        const char* flags;
        int status;
        bool userTestKept;
        bool othersWritten;
        const char* named;  // in the refusal
    } cases[] = {
        {"empty folder", false, false, "", 0, false, true, ""},
        {"a user's Test1.kel", true, false, "", 1, true, false, "Test1.kel"},
        {"--force", true, false, " --force", 0, false, true, ""},
        {"a file named history", false, true, "", 1, false, false, "history"},
        {"a file named history, --force", false, true, " --force", 1, false, false, "history"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::vector<unsigned char> user = {'u', 's', 'e', 'r'};
        if (c.userTest) kel_test::WriteFileBytes(dir.File("Test1.kel"), user);
        if (c.historyFile) kel_test::WriteFileBytes(dir.File("history"), user);
        const CliRun run = RunCli("make-demo" + std::string(c.flags) + " " + dir.path().string(), dir);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_EQ(std::filesystem::exists(dir.File("Test1.kel")) && kel_test::ReadFileBytes(dir.File("Test1.kel")) == user,
                  c.userTestKept)
            << c.name;
        EXPECT_EQ(std::filesystem::exists(dir.File("Test2.kel")), c.othersWritten) << c.name;
        // A refusal names what is in the way and leaves the folder as it was: not even an empty history/.
        if (*c.named) {
            EXPECT_NE(run.err.find(dir.File(c.named)), std::string::npos) << c.name << run.err;
        }
        EXPECT_EQ(std::filesystem::is_directory(dir.File("history")), c.othersWritten) << c.name;
        EXPECT_EQ(run.out.empty(), !c.othersWritten) << c.name;
    }
}

TEST(Cli, ADownloadPrefixThatCannotNameAFileIsRefusedBeforeThePortOpens)
{
    TempDir dir;
    // Port 99 leads nowhere here: reaching it would warn that it cannot open.
    const struct {
        std::size_t length;
        const char* err;
    } cases[] = {
        {251, "The file prefix is too long: a file name holds at most 255 characters"},
        {253, "The file prefix is too long: a file name holds at most 255 characters"},
        {300, "The file prefix is too long"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli("--port 99 download --prefix " + std::string(c.length, 'P') + " 1", dir);
        EXPECT_EQ(run.status, 1) << c.length;
        EXPECT_EQ(run.err, "kel7300-cli: " + std::string(c.err) + "\n") << c.length;
        EXPECT_EQ(run.out, "") << c.length;
    }
}

TEST(Cli, HostileArgumentsGetOneLineAndStatusOneNeverAnAbort)
{
    TempDir dir;
    TestFileBuilder().Write(dir.File("T.kel"));
    std::filesystem::create_directories(dir.path() / "folder.kel");
    const std::string longName(300, 'n');
    const std::string longPath = dir.path().string() + "/" + std::string(5000, 'p');
    const std::string notUtf8 = "'" + dir.File("\xff\xfe.kel") + "'";
    const std::string cases[] = {
        "info " + longName + ".kel",
        "info " + longPath,
        "info " + dir.File("folder.kel"),
        "info " + notUtf8,
        "info --samples " + dir.File("missing.kel"),
        "list " + longPath,
        "list " + dir.File("T.kel"),
        "list ''",
        "list " + notUtf8,
        "set-texts " + dir.File("folder.kel") + " --company X",
        "set-texts " + longName + " --company X",
        "make-demo " + dir.File("T.kel"),
        "make-demo " + longPath,
        "export --to " + longPath + " " + dir.File("T.kel"),
        "export --to " + dir.path().string() + " " + longPath,
        "export --to " + dir.path().string() + " " + dir.File("folder.kel"),
        "--port 0 revision",
        "--port 101 dir",
        "--port -1 download 1",
        "--port 1x revision",
        "download --prefix " + longPath + " 1",
        "download 99999999999999",
        "erase x",
    };
    for (const std::string& arguments : cases) {
        const CliRun run = RunCli(arguments, dir);
        EXPECT_EQ(run.status, 1) << arguments.substr(0, 80) << "\n" << run.err;
        EXPECT_FALSE(run.err.empty()) << arguments.substr(0, 80);
    }

    // A named pipe with a test file's name is refused at once, never waited on.
    ASSERT_EQ(mkfifo(dir.File("pipe.kel").c_str(), 0600), 0);
    const CliRun info = RunCli("info " + dir.File("pipe.kel"), dir);
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.err, "KEL-7300: Can't open file " + dir.File("pipe.kel") + "\n");
    const CliRun list = RunCli("list " + dir.path().string(), dir);
    EXPECT_EQ(list.status, 2);  // listed, but not whole: the pipe is named and left out
    EXPECT_EQ(list.out.find("pipe.kel"), std::string::npos) << list.out;
    EXPECT_NE(list.err.find("pipe.kel: can't be read; left out"), std::string::npos) << list.err;
}

// A tree `depth` folders deep ("d/d/d/..."), longer than the longest path the
// system takes, made through open folders; `bottom` is written into the last.
void MakeDeepTree(const std::string& root, int depth, const std::vector<std::uint8_t>& bottom)
{
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        mkdirat(fd, "d", 0755);
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    const int file = openat(fd, "deep.kel", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(write(file, bottom.data(), bottom.size()), static_cast<ssize_t>(bottom.size()));
    close(file);
    close(fd);
}

// Removes what MakeDeepTree made, one level at a time, each name short.
void RemoveDeepTree(const std::string& root)
{
    const std::string d = root + "/d", next = root + "/d.next";
    while (std::filesystem::exists(d)) {
        if (rename((d + "/d").c_str(), next.c_str()) != 0) {
            std::filesystem::remove_all(d);
            break;
        }
        rmdir(d.c_str());
        rename(next.c_str(), d.c_str());
    }
}

#ifdef KEL_HAVE_RENDER
int PdfPages(const std::string& pdf)
{
    FILE* pipe = popen(("pdfinfo " + pdf + " 2>/dev/null").c_str(), "r");
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), pipe));
    pclose(pipe);
    const std::size_t at = text.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 6);
}
#endif

// Every file of a scan is read or named: no cap of 500, no depth that crashes
// or runs out of descriptors, no silent skip of a folder; links to folders are
// followed only when asked. Left out means exit status 2.
TEST(Cli, ScansReadEveryFileOrNameWhatTheyLeftOut)
{
    TempDir dir;
    const auto test = [](int number) {
        return TestFileBuilder().TestNumber(static_cast<std::uint16_t>(number)).TestType(2).Company("CO")
            .Location("L").Description("M").Samples(60, 500, 1e-9).Bytes();
    };
    // 600 files side by side.
    std::filesystem::create_directories(dir.path() / "wide");
    for (int i = 0; i < 600; ++i) kel_test::WriteFileBytes(dir.File("wide/T" + std::to_string(i) + ".kel"), test(i));
    // A test at the top and one 10,000 folders below it.
    std::filesystem::create_directories(dir.path() / "deep");
    kel_test::WriteFileBytes(dir.File("deep/top.kel"), test(1));
    MakeDeepTree(dir.File("deep"), 10000, test(2));
    // A folder that holds a test and a link to a folder elsewhere (as a link to / would be).
    std::filesystem::create_directories(dir.path() / "linked/here");
    std::filesystem::create_directories(dir.path() / "elsewhere");
    kel_test::WriteFileBytes(dir.File("linked/here/a.kel"), test(1));
    kel_test::WriteFileBytes(dir.File("elsewhere/b.kel"), test(2));
    std::filesystem::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "linked/link");
    // A folder that cannot be read (checked as an ordinary user: root reads every folder).
    std::filesystem::create_directories(dir.path() / "shut/closed");
    kel_test::WriteFileBytes(dir.File("shut/open.kel"), test(1));
    kel_test::WriteFileBytes(dir.File("shut/closed/c.kel"), test(2));
    chmod(dir.File("shut/closed").c_str(), 0);
    chmod(dir.path().c_str(), 0755);
    const std::string asUser = geteuid() == 0 ? "--help >/dev/null; exec setpriv --reuid=65534 --regid=65534 "
                                                "--clear-groups " + std::string(KEL_CLI_PATH) + " "
                                              : "";
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
        return n;
    };
    const struct {
        const char* name;
        std::string arguments;
        int status;
        std::string countWhat;  // in standard output
        std::size_t count;
        const char* said;  // on standard error
    } cases[] = {
        {"list of 600", "list " + dir.File("wide"), 0, ".kel\t", 600, ""},
        {"trend of 600", "trend --csv " + dir.File("wide"), 0, "\r\n", 601, ""},
        {"trend 10,000 deep, 64 descriptors", "--help >/dev/null; ulimit -n 64; exec " + std::string(KEL_CLI_PATH) +
                                                  " trend --csv " + dir.File("deep"),
         0, "\r\n", 3, ""},
        {"trend passes a folder link over", "trend --csv " + dir.File("linked"), 0, "\r\n", 2, ""},
        {"trend --follow", "trend --follow --csv " + dir.File("linked"), 0, "\r\n", 3, ""},
        {"trend of an unreadable folder", asUser + "trend --csv " + dir.File("shut"), 2, "\r\n", 2,
         "shut/closed: folder can't be read; left out"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(c.arguments, dir);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_EQ(count(run.out, c.countWhat), c.count) << c.name;
        if (*c.said) {
            EXPECT_NE(run.err.find(c.said), std::string::npos) << c.name << ": " << run.err;
        }
    }
#ifdef KEL_HAVE_RENDER
    const CliRun deep = RunCli("report --recursive " + dir.File("deep") + " -o " + dir.File("deep.pdf"), dir);
    EXPECT_EQ(deep.status, 0) << deep.err;
    EXPECT_EQ(PdfPages(dir.File("deep.pdf")), 2);
    std::filesystem::create_directories(dir.path() / "out");
    chmod(dir.File("out").c_str(), 0777);
    const CliRun shut = RunCli(asUser + "report --recursive " + dir.File("shut") + " -o " + dir.File("out/s.pdf"), dir);
    EXPECT_EQ(shut.status, 2) << shut.err;
    EXPECT_NE(shut.err.find("shut/closed: folder can't be read; left out of the report"), std::string::npos)
        << shut.err;
#endif
    chmod(dir.File("shut/closed").c_str(), 0755);
    RemoveDeepTree(dir.File("deep"));
}

TEST(Cli, PlainOutputShowsControlCharactersAsEscapes)
{
    TempDir dir;
    // An operator text that would retitle the terminal, a description that would clear it,
    // a location with a TAB and a line feed, and a company with a C1 character (0x9B, CSI).
    TestFileBuilder().Operator("\x1b]0;owned\x07").Description("\x1b[2J").Location("A\tB\nC")
        .Company("X\x9b" "1m").Write(dir.File("T.kel"));
    std::ofstream(dir.File("tab\tname.kel")) << "";

    const CliRun info = RunCli("info " + dir.File("T.kel"), dir);
    EXPECT_NE(info.out.find("operatorName: \\x1b]0;owned\\x07\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("description: \\x1b[2J\n"), std::string::npos);
    EXPECT_NE(info.out.find("location: A\\tB\\nC\n"), std::string::npos);
    EXPECT_NE(info.out.find("company: X\\x9b1m\n"), std::string::npos);

    const CliRun list = RunCli("list " + dir.path().string(), dir);
    ASSERT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2) << list.out;  // one line per entry
    EXPECT_NE(list.out.find("tab\\tname.kel\t"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\t'), 12);  // six separators per line

    // JSON keeps the texts as they are, every control character escaped, C1 too.
    const CliRun json = RunCli("info --json " + dir.File("T.kel"), dir);
    EXPECT_EQ(Json::parse(json.out)["description"], "\x1b[2J");
    EXPECT_NE(json.out.find("X\\u009b1m"), std::string::npos) << json.out;

    // Messages and the lines that name files escape them as well.
    const std::string hostile = dir.File("\x1b[2J\x07.kel");
    std::ofstream(hostile) << "not a test";
    TestFileBuilder().Company("\x1b]0;x\x07").Write(dir.File("out\x1b[1m.kel"));
    std::filesystem::create_directories(dir.path() / "x");
    for (const std::string& arguments :
         {"info '" + hostile + "'", "export --to " + dir.File("x") + " '" + dir.File("out\x1b[1m.kel") + "'",
          "trend --csv " + dir.path().string(), "trend --json " + dir.path().string(),
          "set-texts '" + hostile + "' --operator X"}) {
        const CliRun run = RunCli(arguments, dir);
        EXPECT_EQ((run.out + run.err).find_first_of("\x1b\x07"), std::string::npos) << arguments << "\n"
                                                                                   << run.out << run.err;
        EXPECT_NE((run.out + run.err).find("\\x1b"), std::string::npos) << arguments << "\n" << run.out << run.err;
    }
}

TEST(Cli, NamesInAnyScriptArePrintedAsTheSystemGivesThem)
{
    TempDir dir;
    const std::string folder = dir.File("Pr\xC3\xBC" "fdaten");
    std::filesystem::create_directories(folder);
    const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.kel";
    TestFileBuilder().Company("\xC9" "COLE").Write(folder + "/" + name);
    const CliRun list = RunCli("list '" + folder + "'", dir);
    EXPECT_EQ(list.out.substr(0, list.out.find('\t')), name);
    EXPECT_NE(list.out.find("\t\xC3\x89" "COLE\t"), std::string::npos);  // the file text from Latin-1
    const CliRun info = RunCli("info '" + folder + "/" + name + "'", dir);
    EXPECT_EQ(info.out.rfind("path: " + folder + "/" + name + "\n", 0), 0u) << info.out.substr(0, 200);
}

}  // namespace

#ifdef KEL_HAVE_RENDER
namespace {

TEST(Cli, RenderWritesPngAndOnePagePdf)
{
    TempDir dir;
    const std::string test = dir.File("t.kel");
    TestFileBuilder().TestType(3).Samples(90, 1000, 1e-9).Write(test);
    const struct {
        const char* arguments;
        const char* output;
    } cases[] = {
        {"--size 800x500", "screen.png"},
        {"--size 800x500 --paper", "paper.png"},
        {"--zoom current", "zoom.png"},
        {"", "PAGE.PNG"},
        {"", "Page.Pdf"},
        {"", "page.pdf"},
    };
    for (const auto& c : cases) {
        const std::string output = dir.File(c.output);
        const CliRun run = RunCli("render " + test + " " + test + " " + c.arguments + " -o " + output, dir);
        ASSERT_EQ(run.status, 0) << c.output << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        const auto bytes = kel_test::ReadFileBytes(output);
        ASSERT_GT(bytes.size(), 1000u) << c.output;
        EXPECT_FALSE(std::filesystem::exists(output + ".partial"));
    }
    EXPECT_EQ(kel_test::ReadFileBytes(dir.File("screen.png"))[1], 'P');
    FILE* pipe = popen(("pdfinfo " + dir.File("page.pdf")).c_str(), "r");
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), pipe));
    pclose(pipe);
    EXPECT_NE(text.find("Pages:           1"), std::string::npos) << text;

    EXPECT_EQ(RunCli("render " + test + " -o " + dir.File("x.bmp"), dir).status, 1);
    EXPECT_EQ(RunCli("render " + test + " --size 10 -o " + dir.File("x.png"), dir).status, 1);
    EXPECT_EQ(RunCli("render " + dir.File("missing.kel") + " -o " + dir.File("x.png"), dir).status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.png")));
}

// On a full disk every output fails with a message and a non-zero status,
// leaving the older file as it was and nothing beside it; no output is ever
// written through a name planted in its folder.
TEST(Cli, EveryOutputIsWholeOrAbsentOnAFullDisk)
{
    TempDir dir;
    const std::string test = dir.File("t.kel");
    TestFileBuilder().TestType(3).Samples(600, 1000, 1e-9).Company("PUMPS").Location("HALL").Description("P1")
        .Write(test);
    const std::vector<std::uint8_t> older = {'O', 'L', 'D'};
    const struct {
        const char* name;
        std::string arguments;
        const char* output;  // in out/
    } cases[] = {
        {"report", "report " + test + " -o OUT/r.pdf", "r.pdf"},
        {"render pdf", "render " + test + " -o OUT/p.pdf", "p.pdf"},
        {"render png", "render " + test + " -o OUT/p.png", "p.png"},
        {"trend pdf", "trend -o OUT/t.pdf " + test, "t.pdf"},
        {"trend png", "trend -o OUT/t.png " + test, "t.png"},
        {"xls", "export --to OUT " + test, "t.xls"},
        {"xlsx", "export --format xlsx --to OUT " + test, "t.xlsx"},
        {"csv", "export --format csv --to OUT " + test, "t.csv"},
    };
    for (const auto& c : cases) {
        const std::filesystem::path out = dir.path() / "out";
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        kel_test::WriteFileBytes((out / c.output).string(), older);
        std::string arguments = c.arguments;
        arguments.replace(arguments.find("OUT"), 3, out.string());
        // 4 KiB at most per file (ulimit counts 512-byte blocks in sh); writes past it fail as on a full disk.
        const std::string limited = "--help >/dev/null; trap '' XFSZ; ulimit -f 8; exec " +
                                    std::string(KEL_CLI_PATH) + " " + arguments;
        const CliRun run = RunCli(limited, dir);
        EXPECT_NE(run.status, 0) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find("Can't write file"), std::string::npos) << c.name << ": " << run.err;
        std::map<std::string, std::vector<std::uint8_t>> files;
        for (const auto& entry : std::filesystem::directory_iterator(out))
            files[entry.path().filename().string()] = kel_test::ReadFileBytes(entry.path().string());
        EXPECT_EQ(files, (std::map<std::string, std::vector<std::uint8_t>>{{c.output, older}})) << c.name;
    }

    // A link planted in a shared output folder is never followed.
    const std::string victim = dir.File("victim.txt");
    kel_test::WriteFileBytes(victim, older);
    for (const char* planted : {"v.pdf.partial", "v.pdf.tmp", ".v.pdf.partial"})
        std::filesystem::create_symlink(victim, dir.File(planted));
    const CliRun run = RunCli("report " + test + " -o " + dir.File("v.pdf"), dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(kel_test::ReadFileBytes(victim), older);
    EXPECT_GT(std::filesystem::file_size(dir.File("v.pdf")), 1000u);
}

}  // namespace
#endif

namespace {

// One CSV record split by RFC 4180: quoted fields may hold commas and doubled quotes.
std::vector<std::string> CsvRecord(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') fields.back() += '"', ++i;
        else if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

TEST(Cli, TrendAsCsvJsonAndPages)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "site");
    // A motor whose company holds a comma and a quote, tested twice for a minute (so that the final
    // reading is the one-minute reading), the second time below half.
    TestFileBuilder().TestType(2).Date(0x05, 0x01, 0x24).Company("ACME, \"WEST\"").Location("PLANT").Description("M1")
        .Samples(60, 500, 1e-9).Measured(33, 'G', 0x04, 50000).Temperature(68).Measured(63, 'G', 0x04, 12345)
        .Write(dir.File("site/a.kel"));
    TestFileBuilder().TestType(2).Date(0x05, 0x01, 0x25).Company("acme, \"west\" ").Location("plant").Description("m1")
        .Samples(60, 500, 2e-9).Measured(33, 'G', 0x04, 25000).Temperature(68).Measured(63, 'M', 0, 600)
        .Write(dir.File("site/b.kel"));
    TestFileBuilder().Company("OTHER").Write(dir.File("site/c.kel"));
    TestFileBuilder().Magic(0).Write(dir.File("site/broken.kel"));

    const CliRun csv = RunCli("trend --csv " + dir.File("site"), dir);
    EXPECT_EQ(csv.status, 2);  // a damaged file is named and the result is partial, never fatal
    EXPECT_NE(csv.err.find(dir.File("site/broken.kel") + ": not a KEL-7300 test file"), std::string::npos) << csv.err;
    std::vector<std::vector<std::string>> rows;
    for (std::size_t at = 0, end; (end = csv.out.find("\r\n", at)) != std::string::npos; at = end + 2)
        rows.push_back(CsvRecord(csv.out.substr(at, end - at)));
    ASSERT_EQ(rows.size(), 4u);  // the header and three tests
    EXPECT_EQ(rows[0][8], "resistance1Min");
    EXPECT_EQ(rows[0][9], "resistance1Min40C");
    EXPECT_EQ(rows[1][0], "acme, \"west\"");  // the newest test's texts, trimmed
    EXPECT_EQ(rows[1][5], "2024-05-01T09:30:00");
    EXPECT_EQ(std::strtof(rows[1][8].c_str(), nullptr), 5e11f);        // the float, read back exactly
    EXPECT_EQ(std::strtof(rows[1][9].c_str(), nullptr), 123.45e9f);
    EXPECT_EQ(rows[2][9], "6e+08");
    EXPECT_EQ(rows[2][13], "dropped");
    EXPECT_EQ(rows[3][0], "OTHER");
    EXPECT_EQ(rows[3][8], "");  // no samples: no one-minute reading

    const CliRun json = RunCli("trend --json --asset WEST " + dir.File("site"), dir);
    std::istringstream lines(json.out);
    std::string line;
    std::vector<Json> assets;
    while (std::getline(lines, line)) assets.push_back(Json::parse(line));
    ASSERT_EQ(assets.size(), 1u);
    EXPECT_EQ(assets[0]["tests"].size(), 2u);
    EXPECT_TRUE(assets[0]["tests"][0]["piRatio"].is_null());
    EXPECT_EQ(assets[0]["tests"][1]["flags"], Json::array({"dropped"}));

    EXPECT_EQ(RunCli("trend --min-ir lots " + dir.File("site"), dir).status, 1);
#ifdef KEL_HAVE_RENDER
    EXPECT_EQ(RunCli("trend -o " + dir.File("all.png") + " " + dir.File("site"), dir).status, 1);  // two assets
    EXPECT_FALSE(std::filesystem::exists(dir.File("all.png")));
    const CliRun pdf = RunCli("trend -o " + dir.File("all.pdf") + " " + dir.File("site"), dir);
    ASSERT_EQ(pdf.status, 2) << pdf.err;
    FILE* info = popen(("pdfinfo " + dir.File("all.pdf")).c_str(), "r");
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), info));
    pclose(info);
    EXPECT_NE(text.find("Pages:           2"), std::string::npos) << text;
#endif
}

}  // namespace

namespace {

TEST(Cli, ReadingsExportsShareTheRefusalsAndReportPrintsEachTestOnASheet)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "tests");
    std::filesystem::create_directories(dir.path() / "out");
    TestFileBuilder().TestNumber(7).Samples(30, 500, 1e-9).Write(dir.File("tests/T.kel"));
    TestFileBuilder().TestNumber(8).Samples(30, 500, 1e-9).Write(dir.File("tests/T.KEL"));
    for (const char* format : {"xlsx", "csv"}) {
        const CliRun run = RunCli(std::string("export --format ") + format + " --to " + dir.File("out") + " " +
                                      dir.File("tests/T.KEL") + " " + dir.File("tests/T.kel"), dir);
        EXPECT_EQ(run.status, 1) << format;  // the second test would replace the first one's file
        EXPECT_EQ(run.out, dir.File("out/T.") + format + "\n") << format;
        EXPECT_NE(run.err.find("is not exported"), std::string::npos) << run.err;
    }
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("out")))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"T.csv", "T.xlsx"}));  // no temporary file left beside them
    EXPECT_EQ(RunCli("export --format ods --to " + dir.File("out") + " " + dir.File("tests/T.kel"), dir).status, 1);

#ifdef KEL_HAVE_RENDER
    TestFileBuilder().Magic(0).Write(dir.File("tests/broken.kel"));
    const CliRun report = RunCli("report " + dir.File("tests") + " --portrait -o " + dir.File("report.pdf"), dir);
    EXPECT_EQ(report.status, 2);  // the damaged file is left out, and said
    EXPECT_NE(report.err.find(dir.File("tests/broken.kel") + ": not a KEL-7300 test file"), std::string::npos)
        << report.err;
    FILE* info = popen(("pdfinfo " + dir.File("report.pdf") + "; pdftotext " + dir.File("report.pdf") + " -").c_str(),
                       "r");
    std::string text(1 << 16, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), info));
    pclose(info);
    EXPECT_NE(text.find("Pages:           2"), std::string::npos) << text;
    EXPECT_NE(text.find("Page size:       595 x 842 pts (A4)"), std::string::npos) << text;  // portrait
    EXPECT_NE(text.find("Test Number: 7"), std::string::npos);
    EXPECT_NE(text.find("Test Number: 8"), std::string::npos);
    EXPECT_LT(text.find("Test Number: 8"), text.find("Test Number: 7"));  // catalogue order: T.KEL before T.kel
    EXPECT_EQ(RunCli("report " + dir.File("tests/broken.kel") + " -o " + dir.File("none.pdf"), dir).status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.pdf")));
#endif
}

// A text that begins like a formula reaches a spreadsheet as text: in the
// trend's CSV with a leading quote; in the workbooks as text cells.
TEST(Cli, NoSpreadsheetRunsWhatATestFileSays)
{
    TempDir dir;
    TestFileBuilder().TestType(2).Company("=cmd|' /C calc'!A0").Location("+1+1").Description("@SUM(A1)")
        .Operator("-2").Samples(60, 500, 1e-9).Write(dir.File("t.kel"));
    const CliRun csv = RunCli("trend --csv " + dir.File("t.kel"), dir);
    ASSERT_EQ(csv.status, 0) << csv.err;
    const std::string row = csv.out.substr(csv.out.find("\r\n") + 2);
    const std::vector<std::string> fields = CsvRecord(row.substr(0, row.find("\r\n")));
    ASSERT_GE(fields.size(), 9u) << row;
    EXPECT_EQ(fields[0], "'=cmd|' /C calc'!A0");
    EXPECT_EQ(fields[1], "'+1+1");
    EXPECT_EQ(fields[2], "'@SUM(A1)");
    EXPECT_EQ(fields[7], "500");  // numbers stay numbers
    EXPECT_EQ(fields[8], "5e+11");

    std::filesystem::create_directories(dir.path() / "x");
    ASSERT_EQ(RunCli("export --to " + dir.File("x") + " --format xlsx " + dir.File("t.kel"), dir).status, 0);
    const std::string cells = kel_test::ReadWithOpenpyxl(dir.File("x/t.xlsx"));
    EXPECT_NE(cells.find("cell Summary 4 2 str General|\"=cmd|' /C calc'!A0\""), std::string::npos) << cells;
    ASSERT_EQ(RunCli("export --to " + dir.File("x") + " " + dir.File("t.kel"), dir).status, 0);
    const std::string xls = kel_test::ReadWithXlrd(dir.File("x/t.xls"));
    EXPECT_NE(xls.find("=cmd|' /C calc'!A0"), std::string::npos) << xls;  // a text cell
}

}  // namespace
