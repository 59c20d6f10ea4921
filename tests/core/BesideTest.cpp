#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <random>
#include <stdexcept>
#include <thread>

#include "base/Beside.h"
#include "merge/Firmware.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

enum ChildStatus { kHeld = 0, kFailed = 1, kThreadsStillStart = 2, kNoLimit = 3 };

// Runs `check` in a child process that may not start another thread: an unprivileged user (root
// becomes nobody) limited to one process.
int WithoutThreads(const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(kNoLimit);
        const rlimit one{1, 1};
        if (setrlimit(RLIMIT_NPROC, &one) != 0) _exit(kNoLimit);
        try {
            std::thread([] {}).join();
            _exit(kThreadsStillStart);
        } catch (const std::system_error&) {
        }
        bool held = false;
        try {
            held = check();
        } catch (...) {  // the child must end here, not in the test runner's own handling
        }
        _exit(held ? kHeld : kFailed);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ThrowsBroken(std::future<int> future) {
    try {
        future.get();
    } catch (const std::runtime_error& error) {
        return std::string(error.what()) == "broken";
    }
    return false;
}

// Work handed to a thread gives its result or its failure; where the system has no thread to give,
// the same, and the firmware writer, which hands its pieces to threads, writes the same text.
TEST(RunBeside, GivesTheWorksOutcomeAlsoWhenNoThreadCanBeHad) {
    EXPECT_EQ(RunBeside([] { return 42; }).get(), 42);
    EXPECT_TRUE(ThrowsBroken(RunBeside([]() -> int { throw std::runtime_error("broken"); })));

    FirmwareFile file;
    file.format = FirmwareFormat::kIntelHex;
    std::vector<std::uint8_t> data(3 << 20);
    std::mt19937 random(5);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
    file.segments = {{0x08000000, data}};
    const std::string text = test::FirmwareText(file);

    const int status = WithoutThreads([&] {
        return RunBeside([] { return 42; }).get() == 42 &&
               ThrowsBroken(RunBeside([]() -> int { throw std::runtime_error("broken"); })) &&
               test::FirmwareText(file) == text;
    });
    if (status == kThreadsStillStart || status == kNoLimit)
        GTEST_SKIP() << "this system lets the child start threads, or cannot limit it";
    EXPECT_EQ(status, kHeld);
}

}  // namespace
}  // namespace lexicorn
