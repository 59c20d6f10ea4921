#pragma once

namespace lexicorn {

/// Makes file names held in narrow strings (the command line's arguments, the names the program
/// builds from them) mean what the system's own programs mean by them, for the rest of the process.
/// Called once, first thing, by a program's main.
void ReadFileNamesAsTheSystemDoes();

}  // namespace lexicorn
