// POSIX process isolation with fork; a Windows port starts a helper process here instead.
#include "platform/Isolated.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace lexicorn {
namespace {

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::string RunIsolated(const std::function<std::string()>& work) {
    int channel[2];
    if (pipe(channel) != 0) throw IsolatedFailure(WithSystemReason("cannot start a reader process", errno));
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        throw IsolatedFailure(WithSystemReason("cannot start a reader process", errno));
    }
    if (child == 0) {
        close(channel[0]);
        // The first byte says whether the rest is the result ('R') or an error message ('E').
        std::string reply;
        try {
            reply = work();
            reply.insert(reply.begin(), 'R');
        } catch (const std::exception& error) {
            reply.assign(1, 'E').append(error.what());
        } catch (...) {
            reply = "Efailed";
        }
        _exit(WriteAll(channel[1], reply) ? 0 : 1);
    }
    close(channel[1]);
    std::string reply;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = read(channel[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || reply.empty())
        throw IsolatedFailure("the reader failed on this file (it is damaged or not what it claims to be)");
    if (reply[0] == 'E') throw IsolatedFailure(reply.substr(1));
    return reply.substr(1);
}

}  // namespace lexicorn
