#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_file_builder.h"

namespace {

namespace fs = std::filesystem;
using kel_test::TempDir;
using Bytes = std::vector<unsigned char>;

std::map<std::string, Bytes> FilesOf(const fs::path& folder)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = kel_test::ReadFileBytes(entry.path().string());
    return files;
}

TEST(AtomicFile, TheTargetIsWholeOrAsItWasAndNothingElseIsLeft)
{
    const Bytes older = {'o', 'l', 'd'}, newer = {'n', 'e', 'w', '!'};
    enum class End { Commit, Abandon, FailedWrite };
    const struct {
        const char* name;
        bool olderExists;
        platform::Existing existing;
        End end;
        bool committed;
        bool existed;
    } cases[] = {
        {"new file", false, platform::Existing::Keep, End::Commit, true, false},
        {"replaced", true, platform::Existing::Replace, End::Commit, true, false},
        {"kept", true, platform::Existing::Keep, End::Commit, false, true},
        {"abandoned", true, platform::Existing::Replace, End::Abandon, false, false},
        {"a write failed", true, platform::Existing::Replace, End::FailedWrite, false, false},
    };
    for (const bool unnamed : {true, false}) {
        for (const auto& c : cases) {
            TempDir dir;
            // The longest name the folder holds: a temporary name must fit beside it.
            const std::string name(platform::MaxFileNameLength(dir.path()), 'T');
            if (c.olderExists) kel_test::WriteFileBytes(dir.File(name), older);
            platform::AtomicFile file(unnamed);
            ASSERT_TRUE(file.Open(dir.path() / name)) << c.name;
            EXPECT_TRUE(file.Write(newer.data(), newer.size()));
            bool committed = false;
            if (c.end == End::Abandon) file.Abandon();
            if (c.end == End::FailedWrite) {
                file.Abandon();  // a closed file fails the next write, as a full disk does
                EXPECT_FALSE(file.Write(newer.data(), newer.size()));
            }
            if (c.end == End::Commit) committed = file.Commit(c.existing);
            const bool existed = file.existed();
            if (!committed) file.Abandon();  // a taken name keeps the file ready until then
            const std::string where = std::string(c.name) + (unnamed ? ", unnamed" : ", named");
            EXPECT_EQ(committed, c.committed) << where;
            EXPECT_EQ(existed, c.existed) << where;
            std::map<std::string, Bytes> expected;
            if (c.committed) expected[name] = newer;
            else if (c.olderExists) expected[name] = older;
            EXPECT_EQ(FilesOf(dir.path()), expected) << where;
        }
    }
}

// After a name was found taken, the same file goes under another name or
// replaces the older one; its mode can follow the file it replaces, and
// another library can write it by the name it offers.
TEST(AtomicFile, ATakenNameLeavesTheFileReadyForAnotherNameOrAReplace)
{
    const Bytes older = {'o', 'l', 'd'}, newer = {'n', 'e', 'w'};
    enum class Then { OtherName, Replace, ReplaceKeepingMode, WrittenByName };
    for (const bool unnamed : {true, false}) {
        for (const Then then : {Then::OtherName, Then::Replace, Then::ReplaceKeepingMode, Then::WrittenByName}) {
            TempDir dir;
            kel_test::WriteFileBytes(dir.File("T.kel"), older);
            fs::permissions(dir.File("T.kel"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
            platform::AtomicFile file(unnamed);
            ASSERT_TRUE(file.Open(dir.path() / "T.kel"));
            if (then == Then::WrittenByName) {
                FILE* other = std::fopen(file.PathForWriting().c_str(), "wb");
                ASSERT_TRUE(other);
                std::fwrite(newer.data(), 1, newer.size(), other);
                std::fclose(other);
            } else {
                ASSERT_TRUE(file.Write(newer.data(), newer.size()));
            }
            if (then == Then::ReplaceKeepingMode) file.KeepModeOf(dir.path() / "T.kel");
            const std::string where = std::to_string(static_cast<int>(then)) + (unnamed ? ", unnamed" : ", named");
            ASSERT_FALSE(file.Commit(platform::Existing::Keep)) << where;
            ASSERT_TRUE(file.existed()) << where;
            std::map<std::string, Bytes> expected{{"T.kel", newer}};
            if (then == Then::OtherName) {
                file.Retarget(dir.path() / "T (2).kel");
                EXPECT_TRUE(file.Commit(platform::Existing::Keep)) << where;
                expected = {{"T.kel", older}, {"T (2).kel", newer}};
            } else {
                EXPECT_TRUE(file.Commit(platform::Existing::Replace)) << where;
            }
            EXPECT_EQ(FilesOf(dir.path()), expected) << where;
            const fs::perms mode = fs::status(dir.File("T.kel")).permissions();
            if (then == Then::ReplaceKeepingMode) {
                EXPECT_EQ(mode, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read) << where;
            }
        }
    }
}

TEST(AtomicFile, AnInterruptRemovesTheTemporaryNameAndEndsTheProgramAsTheSignalWould)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir dir;
        const Bytes older = {'o', 'l', 'd'};
        kel_test::WriteFileBytes(dir.File("T.kel"), older);
        const pid_t child = fork();
        if (child == 0) {
            platform::RemoveTemporaryFilesOnInterrupt();
            platform::AtomicFile file(false);
            if (!file.Open(dir.path() / "T.kel") || !file.Write("new", 3)) _exit(1);
            raise(signal);
            _exit(2);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << signal;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(FilesOf(dir.path()), (std::map<std::string, Bytes>{{"T.kel", older}})) << signal;
    }
}

}  // namespace
