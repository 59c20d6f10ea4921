// Windows terminal detection: a console counts as a terminal.
#include "platform/Terminal.h"

#include <io.h>

#include <cstdio>

namespace lexicorn {

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

}  // namespace lexicorn
