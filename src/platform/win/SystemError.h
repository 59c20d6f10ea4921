#pragma once

#include <windows.h>

#include <cerrno>

namespace lexicorn {

/// The errno value that says what a Win32 error code says, so that messages read as on POSIX systems
/// ("No such file or directory"); EIO for the errors that have none.
inline int ErrnoOf(DWORD win32Error) {
    switch (win32Error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        default:
            return EIO;
    }
}

}  // namespace lexicorn
