// POSIX terminal detection; a Windows port asks _isatty(_fileno(stderr)) here.
#include "platform/Terminal.h"

#include <unistd.h>

namespace lexicorn {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace lexicorn
