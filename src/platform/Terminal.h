#pragma once

namespace lexicorn {

/// True when the process's standard error goes to a terminal, where progress can be redrawn.
bool StandardErrorIsTerminal();

}  // namespace lexicorn
