#pragma once

#include <iosfwd>

namespace lexicorn::cli {

/// Exit codes of the `lexicorn` command.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

/// Runs `lexicorn` with its arguments, writing its output to `out` and its messages to `err`.
/// `showProgress` lets a build redraw its progress on `err`.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   bool showProgress = false);

/// Asks a running build to stop at its next check, as the Cancel button does. Safe to call from a
/// signal handler.
void RequestCancel();

}  // namespace lexicorn::cli
