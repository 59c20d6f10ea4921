#pragma once

#include <iosfwd>

namespace lexicorn::cli {

/// Exit codes of the `lexicorn` command.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

/// Where the command talks to its user.
struct Console {
    std::ostream& out;
    std::ostream& err;
    /// A build may redraw its progress on `err` (a terminal).
    bool showProgress = false;
    /// Questions are asked on `err` and answered from here (a terminal); none: nobody to ask.
    std::istream* answers = nullptr;
    /// What a command reads where a file is named `-`; none: nothing to read.
    std::istream* input = nullptr;
};

/// Runs `lexicorn` with its arguments.
int RunCommandLine(int argc, const char* const* argv, const Console& console);

/// Asks a running build to stop at its next check, as the Cancel button does, and a helper program
/// that reads a table to stop at once. Safe to call from a signal handler.
void RequestCancel();
/// Whether RequestCancel was called since the last build or command took the request.
bool CancelRequested();
/// Takes the request: whether RequestCancel was called since it was last taken.
bool TakeCancelRequest();

}  // namespace lexicorn::cli
