// POSIX terminal detection and Ctrl-C (SIGINT).
#include "platform/Terminal.h"

#include <unistd.h>

#include <csignal>

namespace lexicorn {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

namespace {
void (*interruptHandler)() = nullptr;
}  // namespace

void OnInterrupt(void (*handler)()) {
    interruptHandler = handler;
    std::signal(SIGINT, [](int) { interruptHandler(); });
}

}  // namespace lexicorn
