#pragma once

namespace lexicorn {

/// True when the process's standard error goes to a terminal, where progress can be redrawn.
bool StandardErrorIsTerminal();
/// True when the process's standard input comes from a terminal, where a question can be answered.
bool StandardInputIsTerminal();

}  // namespace lexicorn
