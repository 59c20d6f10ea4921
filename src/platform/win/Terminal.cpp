// Windows terminal detection (a console counts as a terminal) and Ctrl-C, which the console reports
// to a handler in a thread of its own.
#include "platform/Terminal.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace lexicorn {

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

namespace {

void (*interruptHandler)() = nullptr;

// Closing the console or logging off goes on to the system's handler, which ends the process.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    interruptHandler();
    return TRUE;
}

}  // namespace

void OnInterrupt(void (*handler)()) {
    interruptHandler = handler;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace lexicorn
