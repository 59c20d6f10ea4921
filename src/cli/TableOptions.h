#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "project/ProjectSettings.h"
#include "table/LoadedTable.h"

// The options that say which table a command reads and how a build would treat it: `build` and
// `check` take them alike.
namespace lexicorn::cli {

struct TableOptions {
    std::string table;
    std::string project;
    std::optional<std::string> languages;
    std::optional<std::string> notesColumn;
    std::optional<Encoding> encoding;
    std::optional<TableType> tableType;
    std::optional<std::uint8_t> alignment;
    bool noDefaultStrings = false;
    std::optional<TargetLanguage> targetLanguage;
    std::optional<TargetPlatform> targetPlatform;
    std::optional<std::string> codePage;
    bool strict = false;
    // The device: its fonts and the room its strings have.
    std::vector<std::string> fonts;
    std::optional<std::uint16_t> fontSize;
    bool antiAliased = false;
    std::optional<std::string> limits;
    std::optional<std::uint32_t> maxWidth;

    /// Registers the options with `command`; `tableHelp` says what the table is for.
    void AddTo(CLI::App& command, const std::string& tableHelp);
    /// The project's settings (the defaults without one) with these options applied. An option
    /// that contradicts the target platform, or `noFileSystem` for one that has a file system, is a
    /// UsageError.
    ProjectSettings Settings(std::optional<bool> noFileSystem = std::nullopt) const;
    /// The table (the option's, else the project's) loaded without its column of notes, its
    /// languages chosen (the option's, else the project's, else all). A font for a language the
    /// table lacks is a UsageError.
    LoadedTable LoadChosenTable(const ProjectSettings& settings) const;
};

}  // namespace lexicorn::cli
