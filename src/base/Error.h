#pragma once

#include <stdexcept>
#include <string>

#include "base/ResultCodes.h"

namespace lexicorn {

/// A failure of something outside the program's own rules: a file, the system, a library that
/// reads a file format. It carries the result code that the build or the merge reports for it and
/// a message that names the file (and sheet, row, column where they apply) and the reason.
class Error : public std::runtime_error {
  public:
    Error(ResultCode code, const std::string& message) : std::runtime_error(message), code_(code) {}

    ResultCode Code() const noexcept { return code_; }

  private:
    ResultCode code_;
};

/// "what: the system's reason" for the error number `errorNumber` (errno).
std::string WithSystemReason(const std::string& what, int errorNumber);

}  // namespace lexicorn
