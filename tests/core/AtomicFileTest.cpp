#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

TEST(AtomicFile, CreatesAndReplacesAndFollowsLinks) {
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir / "f", "one"));
    ASSERT_TRUE(WriteFileAtomically(dir / "f", "two"));
    EXPECT_EQ(test::ReadFile(dir / "f"), "two");
    fs::create_symlink("f", dir / "link");
    ASSERT_TRUE(WriteFileAtomically(dir / "link", "three"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(test::ReadFile(dir / "f"), "three");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(AtomicFile, ReadOnlyFilesAndMissingFoldersAreRefused) {
    test::TempDir dir;
    test::WriteFile(dir / "ro", "keep");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::group_read);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir / "ro", "lost", &error));
    EXPECT_EQ(error, (dir / "ro").string() + ": the file is read-only");
    EXPECT_EQ(test::ReadFile(dir / "ro"), "keep");
    EXPECT_FALSE(WriteFileAtomically(dir / "none" / "f", "x", &error));
    EXPECT_FALSE(WriteFileAtomically(dir.path(), "x", &error));
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
    std::string error;
    const bool written = WriteFileAtomically(dir / "f", std::string(1000, 'x'), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(test::ReadFile(dir / "f"), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace lexicorn
