#include "base/Error.h"

#include <system_error>

namespace lexicorn {

std::string WithSystemReason(const std::string& what, int errorNumber) {
    return what + ": " + std::generic_category().message(errorNumber);
}

}  // namespace lexicorn
