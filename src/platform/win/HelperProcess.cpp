// Windows helper processes are not started yet: a helper program (the .xls reader) is refused with
// a message that says so, instead of failing some other way.
#include "platform/HelperProcess.h"

#include <windows.h>

#include <filesystem>

namespace lexicorn {

void RunHelper(const HelperRun&, const std::function<void(std::string_view piece)>&) {
    throw HelperFailure("is not available in this build");
}

void SetHelperWaitHook(std::function<bool()>) {}

std::string ExecutablePath() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            const std::u8string utf8 = std::filesystem::path(name).u8string();
            return std::string(utf8.begin(), utf8.end());
        }
        name.resize(name.size() * 2);
    }
}

}  // namespace lexicorn
