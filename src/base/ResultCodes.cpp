#include "base/ResultCodes.h"

#include <fmt/format.h>

namespace lexicorn {

std::string HexCode(ResultCode code) { return fmt::format("{:08X}", code); }

}  // namespace lexicorn
