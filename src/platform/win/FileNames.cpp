// Windows hands a program's arguments over in its ANSI code page, and the C++ library turns a narrow
// name into a wide one through the C library's character type. Left at the "C" locale, that reads
// every byte as Latin-1: "€uro.csv" (0x80 in code page 1252) became U+0080 and was not found, and on
// a machine with another ANSI code page (1250, 1251, ...) most names with letters beyond ASCII were
// not found. The system's own locale reads them in the ANSI code page, as every other program does.
#include "platform/FileNames.h"

#include <clocale>

namespace lexicorn {

void ReadFileNamesAsTheSystemDoes() { std::setlocale(LC_CTYPE, ""); }

}  // namespace lexicorn
