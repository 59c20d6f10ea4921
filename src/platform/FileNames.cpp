// On POSIX systems a file name is bytes, handed to the system as they are: nothing to set up.
#include "platform/FileNames.h"

namespace lexicorn {

void ReadFileNamesAsTheSystemDoes() {}

}  // namespace lexicorn
