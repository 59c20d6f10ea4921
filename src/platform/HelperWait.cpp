// The wait hook, the same on every system: each system's RunHelper calls it while it waits.
#include "platform/HelperProcess.h"

namespace lexicorn {
namespace {

std::function<bool()>& TheHook() {
    static std::function<bool()> hook;
    return hook;
}

}  // namespace

void SetHelperWaitHook(std::function<bool()> keepWaiting) { TheHook() = std::move(keepWaiting); }

std::function<bool()> helper_wait::Hook() { return TheHook(); }

}  // namespace lexicorn
