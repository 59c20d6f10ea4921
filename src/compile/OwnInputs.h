#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "project/ProjectSettings.h"

// A command never writes over what it reads: the files a command reads, and the one rule that finds
// an output among them.
namespace lexicorn {

/// A file a command reads, and what it is to the command as messages name it ("the string table").
struct CommandInput {
    const char* role;
    std::filesystem::path path;
};

/// The files a check, build or preview of the table at `table` reads with `settings`: the table,
/// the project the settings came from (none when `project` is empty), each device font and the
/// limits table.
std::vector<CommandInput> TableInputs(const std::filesystem::path& table,
                                      const std::filesystem::path& project, const ProjectSettings& settings);

/// The first of `inputs` that `output` is, by whatever name or link: the same file on the same
/// device. None when it is none of them, or does not exist yet.
std::optional<CommandInput> InputNamedBy(const std::filesystem::path& output,
                                         const std::vector<CommandInput>& inputs);

}  // namespace lexicorn
