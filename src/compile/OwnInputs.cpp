#include "compile/OwnInputs.h"

#include <algorithm>

#include "platform/InputFile.h"

namespace lexicorn {

std::vector<CommandInput> TableInputs(const std::filesystem::path& table,
                                      const std::filesystem::path& project, const ProjectSettings& settings) {
    std::vector<CommandInput> inputs = {{"the string table", table}};
    if (!project.empty()) inputs.push_back({"the project file", project});
    for (const DeviceFont& font : settings.fonts) inputs.push_back({"the device's font", font.path});
    if (!settings.limits.empty()) inputs.push_back({"the limits table", settings.limits});
    return inputs;
}

std::optional<CommandInput> InputNamedBy(const std::filesystem::path& output,
                                         const std::vector<CommandInput>& inputs) {
    const auto named = std::find_if(inputs.begin(), inputs.end(), [&](const CommandInput& input) {
        return IsSameFile(output, input.path);
    });
    if (named == inputs.end()) return std::nullopt;
    return *named;
}

}  // namespace lexicorn
