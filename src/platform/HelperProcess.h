#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"

namespace lexicorn {

/// A helper program that failed, ran out of time, was stopped or could not be started: `what()` says
/// which, as the end of a sentence that begins with the helper's name ("took longer than 60 s and
/// was stopped").
class HelperFailure : public Error {
  public:
    explicit HelperFailure(const std::string& message) : Error(kCannotOpenFile, message) {}
};

/// What a helper program is given.
struct HelperRun {
    std::string program;
    std::vector<std::string> arguments;
    /// Wall-clock time after which the helper is killed.
    std::chrono::milliseconds timeLimit{60'000};
    /// Most bytes the helper may answer with before it is killed.
    std::size_t mostReplyBytes = 1u << 30;
    /// Most bytes of memory the helper may take (an allocation past them fails); none: no limit. On
    /// Windows the helper's job holds it to them; POSIX has no such hold from outside, so there the
    /// helper holds itself to them (BeginHelper).
    std::optional<std::size_t> mostMemoryBytes{};
};

/// Runs `run.program` as a process of its own, in a process group of its own (a job on Windows;
/// standard input from the null device, standard error shared), and hands what it writes to its standard
/// output to `takeAnswer` in pieces as they arrive: the answer is never held here, and nothing past
/// `run.mostReplyBytes` is handed on. For libraries that are not safe against hostile input: whatever
/// they do wrong, this process is not harmed. Throws HelperFailure when the helper cannot start, exits
/// with another code than 0, dies of a signal, runs out of time or answers too much, and when the wait
/// hook asks to stop; what `takeAnswer` throws ends the run as well and goes on to the caller. Either
/// way the helper's whole group is killed and the helper reaped before. When the helper ends, whatever
/// it left running in its group is killed too.
void RunHelper(const HelperRun& run, const std::function<void(std::string_view piece)>& takeAnswer);

/// Called about 20 times a second while a helper runs, in the thread that waits: a front end draws
/// itself and takes its Cancel there. Returning false stops the helper. One for the whole process,
/// since Ctrl-C and a window's Cancel are too; none by default.
void SetHelperWaitHook(std::function<bool()> keepWaiting);

/// Called first by a helper program run with `mostMemoryBytes`: its standard output carries its answer's
/// bytes as they are (no line ends changed), and it takes no more memory than that.
void BeginHelper(std::size_t mostMemoryBytes);

namespace helper_wait {
/// How long each system's RunHelper waits at most between two calls of the hook.
inline constexpr std::chrono::milliseconds kStep{50};
/// A copy of the hook SetHelperWaitHook set (empty when none): the hook may replace itself while it runs.
std::function<bool()> Hook();
}  // namespace helper_wait

/// The absolute path of the running program.
std::string ExecutablePath();

}  // namespace lexicorn
