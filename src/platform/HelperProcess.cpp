// POSIX helper processes, started with posix_spawn: a fork of a program that may run threads (the
// window does) copies only the calling thread and may deadlock on a lock another one held.
#include "platform/HelperProcess.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <optional>
#include <thread>

extern char** environ;

namespace lexicorn {
namespace {

// Closes a descriptor once, whichever way the run ends.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// A helper leads a process group of its own: a helper that is a wrapper (a shell script, say) starts
// children of its own, and they go with it.
class Child {
  public:
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    // A helper left behind by an exception is killed: it must not outlive the reason it ran for.
    ~Child() {
        if (pid_ > 0) Kill();
    }
    void Kill() {
        EndGroup();
        Reap();
    }
    /// The exit status once the child has ended; none while it runs. What it left running in its
    /// group is ended with it.
    std::optional<int> TryReap() {
        // Looked at without reaping: until it is reaped, its process id, and so its group's, cannot
        // be given to another process.
        siginfo_t ended{};
        if (waitid(P_PID, static_cast<id_t>(pid_), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            ended.si_pid != pid_)
            return std::nullopt;
        EndGroup();
        return Reap();
    }

  private:
    void EndGroup() const { kill(-pid_, SIGKILL); }
    int Reap() {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

    pid_t pid_;
};

pid_t Spawn(const HelperRun& run, int replyFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, replyFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Signals the caller ignores or blocks (the window may) are the helper's again. Its own process
    // group keeps the terminal's Ctrl-C from it: the caller takes Ctrl-C in its wait hook and ends the
    // whole group.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(run.program.c_str()));
    for (const std::string& argument : run.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, run.program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw HelperFailure("could not be started: " + WithSystemReason(run.program, error));
    return pid;
}

}  // namespace

// AddressSanitizer reserves terabytes of address space for its shadow: under it a limit would stop
// the helper before it starts.
#if defined(__SANITIZE_ADDRESS__)
#define LEXICORN_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LEXICORN_ADDRESS_SANITIZER
#endif
#endif

void BeginHelper([[maybe_unused]] std::size_t mostMemoryBytes) {
#ifndef LEXICORN_ADDRESS_SANITIZER
    const rlimit limit{mostMemoryBytes, mostMemoryBytes};
    setrlimit(RLIMIT_AS, &limit);
#endif
}

std::string ExecutablePath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

void RunHelper(const HelperRun& run, const std::function<void(std::string_view piece)>& takeAnswer) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        throw HelperFailure("could not be started: " + WithSystemReason(run.program, errno));
    Descriptor reading{channel[0]};
    Descriptor writing{channel[1]};
    Child child(Spawn(run, writing.fd));
    close(writing.fd);
    writing.fd = -1;

    const auto deadline = std::chrono::steady_clock::now() + run.timeLimit;
    const auto stop = [&](const std::string& why) {
        child.Kill();
        throw HelperFailure(why);
    };
    std::size_t answered = 0;
    char buffer[1 << 16];
    bool answering = true;  // until the helper closes its end of the pipe
    std::chrono::milliseconds nap{1};
    std::optional<int> status;
    // The limits hold until the helper has ended, not only until it stops writing.
    while (!status) {
        if (const auto keepWaiting = helper_wait::Hook(); keepWaiting && !keepWaiting()) stop("was stopped");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            stop(fmt::format("took longer than {} s and was stopped",
                             std::chrono::duration_cast<std::chrono::seconds>(run.timeLimit).count()));
        if (!answering) {
            // A helper that has answered is about to exit: looked at again soon, then less often.
            status = child.TryReap();
            if (!status) std::this_thread::sleep_for(std::min(left, nap));
            nap = std::min(nap * 2, helper_wait::kStep);
            continue;
        }
        pollfd ready{reading.fd, POLLIN, 0};
        const int events = poll(&ready, 1, static_cast<int>(std::min(left, helper_wait::kStep).count()));
        if (events < 0 && errno != EINTR) stop(WithSystemReason("could not be read", errno));
        if (events <= 0) continue;
        const ssize_t got = read(reading.fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0) stop(WithSystemReason("could not be read", errno));
        answering = got > 0;
        const auto bytes = static_cast<std::size_t>(std::max<ssize_t>(got, 0));
        if (bytes > run.mostReplyBytes - answered)
            stop(fmt::format("answered with more than {} MB and was stopped", run.mostReplyBytes >> 20));
        answered += bytes;
        if (bytes) takeAnswer(std::string_view(buffer, bytes));
    }
    if (WIFSIGNALED(*status))
        throw HelperFailure(
            fmt::format("failed on this file (it died of signal {}: the file is damaged or "
                        "needs more memory than allowed)",
                        WTERMSIG(*status)));
    if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0)
        throw HelperFailure(fmt::format("failed on this file (exit code {})", WEXITSTATUS(*status)));
}

}  // namespace lexicorn
