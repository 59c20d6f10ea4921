#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <map>

#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

TEST(AtomicFile, CreatesAndReplacesAndFollowsLinks) {
    test::TempDir dir;
    WriteFileAtomically(dir / "f", "one");
    WriteFileAtomically(dir / "f", "two");
    EXPECT_EQ(test::ReadFile(dir / "f"), "two");
    fs::create_symlink("f", dir / "link");
    WriteFileAtomically(dir / "link", "three");
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(test::ReadFile(dir / "f"), "three");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

// The error a write throws: its code and its message.
std::pair<ResultCode, std::string> WriteError(const fs::path& path, std::string_view bytes) {
    try {
        WriteFileAtomically(path, bytes);
    } catch (const Error& error) {
        return {error.Code(), error.what()};
    }
    return {kSuccess, "written"};
}

TEST(AtomicFile, ReadOnlyFilesAndMissingFoldersAreRefusedWithTheirReason) {
    test::TempDir dir;
    test::WriteFile(dir / "ro", "keep");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(WriteError(dir / "ro", "lost"),
              std::make_pair(kCannotCreateFile, (dir / "ro").string() + ": the file is read-only"));
    EXPECT_EQ(test::ReadFile(dir / "ro"), "keep");
    EXPECT_EQ(
        WriteError(dir / "none" / "f", "x"),
        std::make_pair(kCannotCreateFile, (dir / "none" / "f").string() + ": No such file or directory"));
    EXPECT_EQ(WriteError(dir.path(), "x").second, dir.path().string() + ": not a regular file");
}

TEST(AtomicFile, ReadingNamesTheFileAndTheReason) {
    test::TempDir dir;
    test::WriteFile(dir / "f", "content");
    EXPECT_EQ(ReadWholeFile(dir / "f"), "content");
    const auto readError = [](const fs::path& path) -> std::pair<ResultCode, std::string> {
        try {
            ReadWholeFile(path);
        } catch (const Error& error) {
            return {error.Code(), error.what()};
        }
        return {kSuccess, "read"};
    };
    EXPECT_EQ(readError(dir / "none"),
              std::make_pair(kCannotOpenFile, (dir / "none").string() + ": No such file or directory"));
    EXPECT_EQ(readError(dir.path()),
              std::make_pair(kCannotOpenFile, dir.path().string() + ": not a regular file"));
}

// A disk that fills up half way: the process may write only a few bytes per file.
TEST(AtomicFile, FullDiskLeavesTheOldFileAndNoDebris) {
    test::TempDir dir;
    test::WriteFile(dir / "f", "old content");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto [code, message] = WriteError(dir / "f", std::string(1000, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(code, kCannotCreateFile);
    EXPECT_EQ(message, (dir / "f").string() + ": File too large");
    EXPECT_EQ(test::ReadFile(dir / "f"), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// A build or merge killed with SIGKILL runs no clean-up: its files must not have names until they
// are put in place. Folders whose file system has no unnamed files keep the named fallback.
TEST(AtomicFile, AProcessKilledWhileWritingLeavesNoTemporaryFile) {
    test::TempDir dir;
    const int probe = open(dir.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0) GTEST_SKIP() << "no unnamed files in " << dir.path();
    close(probe);
    test::WriteFile(dir / "Lexicorn.bin", "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileSet set;
        set.Add(dir / "Lexicorn.bin").Write(std::string(100000, 'n'));
        AtomicFile& source = set.Add(dir / "Lexicorn.c");
        source.Write("unsigned char image[] = {0};\n");
        source.Finish();
        raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"Lexicorn.bin"});
    EXPECT_EQ(test::ReadFile(dir / "Lexicorn.bin"), "old");
}

// A member that cannot get its name (its folder went away) stops the set before any old file is
// replaced. The unnamed file does not keep the folder from being removed.
TEST(AtomicFile, ASetWhoseLastMemberCannotBeNamedReplacesNothing) {
    test::TempDir dir;
    fs::create_directory(dir / "sub");
    test::WriteFile(dir / "a", "old a");
    {
        FileSet set;
        set.Add(dir / "a").Write("new a");
        set.Add(dir / "sub" / "b").Write("new b");
        std::error_code busy;
        if (!fs::remove(dir / "sub", busy)) GTEST_SKIP() << "no unnamed files in " << dir.path();
        EXPECT_THROW(set.Commit(), Error);
    }
    EXPECT_EQ(test::ReadFile(dir / "a"), "old a");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// What a folder holds: each name with a regular file's content, "(folder)" or "-> target".
std::map<std::string, std::string> Listing(const fs::path& dir) {
    std::map<std::string, std::string> listing;
    for (const auto& entry : fs::directory_iterator(dir))
        listing[entry.path().filename()] = entry.is_symlink()     ? "-> " + fs::read_symlink(entry).string()
                                           : entry.is_directory() ? "(folder)"
                                                                  : test::ReadFile(entry.path());
    return listing;
}

struct FailingRename {
    const char* name;
    std::size_t failing;        ///< the member whose rename fails: 1 or 2 of "a", "b", "c"
    std::vector<bool> existed;  ///< which members had an old file
    bool firstThroughLink;      ///< "a" is a symbolic link to the file "real-a"
};
void PrintTo(const FailingRename& c, std::ostream* os) { *os << c.name; }

class ASetWhoseRenameFails : public testing::TestWithParam<FailingRename> {};

// A rename can fail after others have succeeded (an immutable file, a folder put in a member's
// place meanwhile): the members already in place give way to their old files again, and members
// that were new go, so that a set never ends half new and half old.
TEST_P(ASetWhoseRenameFails, PutsBackTheOldFilesOfTheMembersAlreadyInPlace) {
    const FailingRename& c = GetParam();
    test::TempDir dir;
    const std::vector<std::string> names = {"a", "b", "c"};
    if (c.firstThroughLink) fs::create_symlink("real-a", dir / "a");
    for (std::size_t i = 0; i < names.size(); ++i)
        if (c.existed[i]) test::WriteFile(dir / (c.firstThroughLink && i == 0 ? "real-a" : names[i]), "old");
    FileSet set;
    for (const std::string& name : names) set.Add(dir / name).Write("new " + name);
    const fs::path failing = dir / names[c.failing];
    fs::remove(failing);
    fs::create_directories(failing / "inside");
    const std::map<std::string, std::string> before = Listing(dir.path());

    try {
        set.Commit();
        ADD_FAILURE() << "the set was put in place";
    } catch (const WriteFailure& error) {
        EXPECT_EQ(error.Code(), kCannotCreateFile);
        EXPECT_EQ(error.File(), failing);
        EXPECT_EQ(std::string(error.what()), failing.string() + ": Is a directory");
    }
    EXPECT_EQ(Listing(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Members, ASetWhoseRenameFails,
    testing::Values(FailingRename{"SecondOfThree", 1, {true, true, true}, false},
                    FailingRename{"ThirdAfterANewOne", 2, {true, false, true}, false},
                    FailingRename{"ThirdAfterNewOnesOnly", 2, {false, false, false}, false},
                    FailingRename{"ThirdAfterOneNamedThroughALink", 2, {true, true, false}, true}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(AtomicFile, ASetPutInPlaceKeepsEveryFilesModeAndNoOtherName) {
    test::TempDir dir;
    test::WriteFile(dir / "a", "old");
    fs::permissions(dir / "a", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    FileSet set;
    set.Add(dir / "a").Write("new a");
    set.Add(dir / "b").Write("new b");
    set.Commit();
    EXPECT_EQ(test::ReadFile(dir / "a"), "new a");
    EXPECT_EQ(test::ReadFile(dir / "b"), "new b");
    EXPECT_EQ(fs::status(dir / "a").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

// A member whose old file holds its bytes already stays that very file (the same inode, so the same
// time stamp): a build tool then recompiles nothing that depends on it.
TEST(AtomicFile, ASetLeavesAMemberWhoseBytesAreUnchanged) {
    test::TempDir dir;
    const auto inode = [&](const char* name) {
        struct stat status {};
        EXPECT_EQ(stat((dir / name).c_str(), &status), 0);
        return status.st_ino;
    };
    const auto commit = [&](const char* a, const char* b, const char* c) {
        FileSet set;
        set.Add(dir / "a").Write(a);
        set.Add(dir / "b").Write(b);
        set.Add(dir / "c").Write(c);
        set.Commit();
    };
    commit("same", "old b", "");
    const auto a = inode("a"), b = inode("b"), c = inode("c");
    commit("same", "new b", "");
    EXPECT_EQ(inode("a"), a);
    EXPECT_NE(inode("b"), b);
    EXPECT_EQ(inode("c"), c);
    EXPECT_EQ(test::ReadFile(dir / "b"), "new b");
    // A longer or shorter file, or one of the same length with other bytes, is replaced.
    commit("same!", "new b", "x");
    EXPECT_NE(inode("a"), a);
    EXPECT_EQ(test::ReadFile(dir / "a"), "same!");
    EXPECT_EQ(test::ReadFile(dir / "c"), "x");
    const auto b2 = inode("b");
    commit("same!", "new B", "x");
    EXPECT_NE(inode("b"), b2);
    EXPECT_EQ(test::ReadFile(dir / "b"), "new B");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace lexicorn
