#include "cli/CommandLine.h"

#include <fmt/format.h>

#include <ostream>
#include <vector>

#include "Version.h"
#include "base/Text.h"
#include "cli/Commands.h"
#include "platform/CodePage.h"
#include "project/ProjectFile.h"

namespace lexicorn::cli {

void CheckCodePage(const std::string& name) {
    try {
        CodePage check(name);
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
}

ProjectSettings LoadSettings(const std::string& project) {
    ProjectSettings settings;
    if (project.empty()) return settings;
    ProjectFileResult loaded = LoadProjectFile(project, settings);
    if (loaded.status == ProjectFileResult::Status::kNotAProject)
        throw std::runtime_error(project + ": Corrupted project file.");
    if (!loaded) throw std::runtime_error(loaded.message);
    return settings;
}

std::string FileProblem(const std::string& path, ResultCode code) {
    switch (code) {
        case kFileTooLarge:
            return path + ": files of 4 GB or more cannot be merged";
        case kOutOfRange:
            return path + ": the file ends inside the header of the Lexicorn it holds";
        default:
            return fmt::format("{}: the file cannot be read (error {})", path, HexCode(code));
    }
}

int RunCommandLine(int argc, const char* const* argv, const Console& console) {
    std::ostream& out = console.out;
    std::ostream& err = console.err;
    CLI::App app(
        "Lexicorn Wizard command line: builds Lexicorn string images from string tables and merges "
        "them into target software.",
        "lexicorn");
    app.require_subcommand(1);
    app.set_version_flag("--version", fmt::format("lexicorn {}", kVersionText));

    std::vector<std::unique_ptr<Subcommand>> subcommands;
    subcommands.push_back(AddBuildCommand(app));
    subcommands.push_back(AddCheckCommand(app));
    subcommands.push_back(AddDumpCommand(app));
    subcommands.push_back(AddScanCommand(app));
    subcommands.push_back(AddMergeCommand(app));
    subcommands.push_back(AddTableCommand(app));

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }

    try {
        for (const auto& subcommand : subcommands)
            if (subcommand->Chosen()) return subcommand->Run(console);
        return kExitUsage;  // CLI11 requires one subcommand, so this is not reached
    } catch (const UsageError& error) {
        err << "lexicorn: " << error.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& error) {
        err << "lexicorn: error: " << WithLineFeeds(error.what()) << '\n';
        return kExitFailure;
    }
}

}  // namespace lexicorn::cli
