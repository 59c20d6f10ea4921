#pragma once

#include <filesystem>
#include <string>

#include "project/ProjectSettings.h"

namespace lexicorn {

/// What every front end says of a project file it cannot use.
inline constexpr const char* kCorruptedProjectFile = "Corrupted project file.";

/// The outcome of reading or writing a project file.
struct ProjectFileResult {
    enum class Status {
        kOk,           ///< written, or read and applied
        kNotAProject,  ///< the first line is not the project header; nothing was changed
        kError,        ///< the file could not be read or written, or a line is malformed
    };
    Status status = Status::kOk;
    std::string message;  ///< for kError: the error text to show

    explicit operator bool() const { return status == Status::kOk; }
};

/// Text of a project file: the header line and eleven decimal values, then the optional lines that
/// say something (code page, file system, table, languages, output folder, fill byte, the
/// device's fonts, font size, rendering and width limits), CR LF line ends.
/// Paths inside `projectFolder` are kept relative to it.
std::string FormatProjectFile(const ProjectSettings& settings,
                              const std::filesystem::path& projectFolder = {});

/// Writes `settings` to `path` whole or not at all.
ProjectFileResult SaveProjectFile(const std::filesystem::path& path, const ProjectSettings& settings);

/// Reads a project file into `settings`, relative paths taken from the project's folder. The
/// settings change only when the whole file was read: a file that fails half way leaves every
/// field as it was.
ProjectFileResult LoadProjectFile(const std::filesystem::path& path, ProjectSettings& settings);

}  // namespace lexicorn
