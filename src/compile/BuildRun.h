#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/ResultCodes.h"
#include "compile/TableCheck.h"
#include "project/ProjectSettings.h"
#include "table/LoadedTable.h"

namespace lexicorn {

/// The side of a build that the front end provides: the progress display, message boxes, pauses and
/// cancellation. The build asks for nothing else: choosing a table and forgetting it afterwards are
/// the front end's own steps. The main window shows real windows; the command line writes to stderr
/// and never pauses; tests record.
class BuildHost {
  public:
    virtual ~BuildHost() = default;
    // Progress. SetCaption, SetStatusText and Step also let pending user input (Cancel) through.
    virtual void SetCaption(const std::string& text) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetRange(std::uint32_t count) = 0;
    virtual void Step() = 0;
    virtual void Complete() = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    /// An error message box; `code` is the result code behind it, 0 for the checks before a build.
    virtual void ShowError(const std::string& text, ResultCode code) = 0;
    virtual void ShowInformation(const std::string& text) = 0;
    /// A fixed pause that gives the user time to read the progress display.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    virtual bool CancelRequested() const = 0;
    virtual void ClearCancelRequest() = 0;
    /// What the check of the table found before the build, when it found anything.
    virtual void ShowFindings(const CheckReport& report) = 0;
};

/// Where and how a build writes, beyond the project settings.
struct BuildOptions {
    std::filesystem::path outputFolder = ".";
    std::optional<std::uint32_t> uniqueId;  ///< replaces the id made from the clock
    bool strict = false;                    ///< warnings of the table check refuse the build too
    std::filesystem::path projectFile{};    ///< the project the settings came from: never written over
};

/// How a build ended.
struct BuildOutcome {
    enum class Kind {
        kRefused,  ///< a check before the build failed (`result` 0, or kOutputIsInput); nothing was touched
        kSucceeded,
        kFailed,  ///< reported `result`
        kCancelled,
    };
    Kind kind = Kind::kRefused;
    ResultCode result = kSuccess;
    /// For a file that could not be written: the file and the system's reason.
    std::string failedFile;
    /// The table was opened and read (checked, and built unless the check refused it): a front end
    /// that forgets its table after a build does so now. False for a build refused before that.
    bool tableRead = false;

    // What a build that succeeded made, for front ends that summarise it.
    std::vector<std::filesystem::path> files;  ///< the files written, in the order they were written
    std::uint32_t imageSize = 0;
    std::uint32_t uniqueId = 0;
    std::uint32_t stringCount = 0;  ///< strings of each language
};

/// Most units a cell may hold in a build (bytes for narrow text, UTF-16 units for wide text).
inline constexpr std::size_t kMaxCellLength = 999;
/// Length of each of the fixed pauses that let the user read the progress display.
inline constexpr std::chrono::milliseconds kReadingPause{1000};

/// Builds Lexicorn.bin, Lexicorn.c (C target with the API compiled in), the string-id list and
/// LXNApiCfg.h from the selected languages of `table` into `options.outputFolder`, as one set: the
/// old files are replaced only when every new one is complete, and a failure or a cancel leaves
/// the folder as it was. The table is checked first, once, and the findings shown; with errors (or
/// warnings, when strict) nothing is written, and the first error is reported in the build's words.
/// What the check passed is written as it is, without being judged again. Reports the outcome in
/// exactly one message; the table stays loaded, closed. An exception of the table reader
/// ends the build where it happens; the clean-up still runs and the exception goes on to the caller.
/// An output that is one of the build's inputs (the table, the project, a font, the limits), by
/// whatever name or link, refuses the build
/// (kOutputIsInput) before the table is opened and anything is written.
BuildOutcome BuildLexicorn(BuildHost& host, LoadedTable& table, const ProjectSettings& settings,
                           const BuildOptions& options);

}  // namespace lexicorn
