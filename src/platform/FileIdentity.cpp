// POSIX file identity by device and inode; a Windows port compares volume serial and file index here.
#include "platform/FileIdentity.h"

#include <sys/stat.h>

namespace lexicorn {

bool IsOpenFile(const std::filesystem::path& path, std::FILE* open) {
    struct stat named {
    }, opened{};
    if (open == nullptr || stat(path.c_str(), &named) != 0 || fstat(fileno(open), &opened) != 0) return false;
    return named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

}  // namespace lexicorn
