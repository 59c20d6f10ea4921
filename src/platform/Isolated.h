#pragma once

#include <functional>
#include <string>

#include "base/Error.h"

namespace lexicorn {

/// Work that failed in its own process: `what()` says how.
class IsolatedFailure : public Error {
  public:
    explicit IsolatedFailure(const std::string& message) : Error(kCannotOpenFile, message) {}
};

/// Runs `work` in a process of its own and returns the bytes it produced. For libraries that are not
/// safe against hostile input: whatever they do wrong, this process is not harmed. An exception of
/// `work` comes back as an IsolatedFailure with its message; a crash as an IsolatedFailure that says so.
std::string RunIsolated(const std::function<std::string()>& work);

}  // namespace lexicorn
