#pragma once

#include <future>
#include <system_error>
#include <type_traits>
#include <utility>

namespace lexicorn {

/// Starts `work` on a thread of its own, so that it runs beside the caller. When the system has no
/// thread to give, the work runs instead when its result is asked for: slower, never a failure.
/// Either way the future's get() gives the work's result or throws what the work threw.
template <typename Work>
std::future<std::invoke_result_t<std::decay_t<Work>>> RunBeside(Work&& work) {
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, std::forward<Work>(work));
    }
}

}  // namespace lexicorn
