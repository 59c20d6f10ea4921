#pragma once

namespace lexicorn {

/// True when the process's standard error goes to a terminal, where progress can be redrawn.
bool StandardErrorIsTerminal();
/// True when the process's standard input comes from a terminal, where a question can be answered.
bool StandardInputIsTerminal();
/// Has `handler` called when the user presses Ctrl-C in the terminal (and Ctrl-Break on Windows),
/// instead of ending the process. It runs in a signal handler or in a thread of the system's, so
/// it may do no more than set an atomic flag.
void OnInterrupt(void (*handler)());

}  // namespace lexicorn
