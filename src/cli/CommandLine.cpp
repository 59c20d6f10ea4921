#include "cli/CommandLine.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

#include "Version.h"
#include "base/Text.h"
#include "cli/Commands.h"
#include "compile/BuildMessages.h"
#include "platform/CodePage.h"
#include "platform/HelperProcess.h"
#include "project/ProjectFile.h"

namespace lexicorn::cli {
namespace {

// Edits (a character inserted, removed, replaced, or two neighbours swapped) that turn `a` into `b`.
std::size_t Distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lowered;
}

// The name nearest to `word`, where a difference of case counts less than any other; the first of
// equally near ones. None when even the nearest needs more edits than a slip of the fingers makes
// (one in three characters): a word that far off is no misspelling of it.
std::optional<std::string> Nearest(std::string_view word, const std::vector<std::string>& names) {
    const auto distance = [word](const std::string& name) {
        return std::pair(Distance(Lowered(word), Lowered(name)), Distance(word, name));
    };
    const auto nearest = std::min_element(
        names.begin(), names.end(),
        [&](const std::string& x, const std::string& y) { return distance(x) < distance(y); });
    if (nearest == names.end() || distance(*nearest).first > std::max<std::size_t>(1, word.size() / 3))
        return std::nullopt;
    return *nearest;
}

// "; did you mean 'name'?" for the nearest of `names`, or nothing.
std::string Suggestion(std::string_view word, const std::vector<std::string>& names) {
    const std::optional<std::string> nearest = Nearest(word, names);
    return nearest ? fmt::format("; did you mean '{}'?", *nearest) : "";
}

std::vector<std::string> OptionNames(const CLI::App& command) {
    std::vector<std::string> names;
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

std::string UnknownOption(const CLI::App& command, const std::string& path, std::string word) {
    word = word.substr(0, word.find('='));  // --name=value
    return fmt::format("{}: unknown option '{}'{}", path, word, Suggestion(word, OptionNames(command)));
}

// The first word of the command line that no command or option took, as a mistake to report, or
// nothing. Commands and options are named with the nearest known one; a surplus plain word of a
// subcommand is CLI11's to report.
std::optional<std::string> UnknownWord(const CLI::App& app) {
    if (const std::vector<std::string> left = app.remaining(); !left.empty()) {
        if (left.front().starts_with('-')) return UnknownOption(app, "lexicorn", left.front());
        // A command, or an option of lexicorn written as a command (`lexicorn version`).
        std::vector<std::string> names;
        for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
            names.push_back(command->get_name());
        for (const std::string& option : OptionNames(app))
            if (option.starts_with("--")) names.push_back(option);
        return fmt::format("lexicorn: unknown command '{}'{}", left.front(), Suggestion(left.front(), names));
    }
    for (const CLI::App* command : app.get_subcommands())
        for (const std::string& word : command->remaining())
            if (word.starts_with('-'))
                return UnknownOption(*command, "lexicorn " + command->get_name(), word);
    return std::nullopt;
}

// The words that no command or option took, for CLI11 to report when they are no unknown name.
std::optional<CLI::ExtrasError> Leftovers(const CLI::App& app) {
    if (std::vector<std::string> left = app.remaining(true); !left.empty())
        return CLI::ExtrasError(std::move(left));
    return std::nullopt;
}

// The help of lexicorn, or of its command `topic`, as --help prints it.
int PrintHelp(const CLI::App& app, const std::string& topic, const Console& console) {
    if (topic.empty()) {
        console.out << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
        return kExitSuccess;
    }
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (command->get_name() == topic) {
            console.out << command->get_formatter()->make_help(command, app.get_name() + " " + topic,
                                                               CLI::AppFormatMode::Normal);
            return kExitSuccess;
        }
        names.push_back(command->get_name());
    }
    console.err << fmt::format(
        "lexicorn help: unknown command '{}'{}\nRun with --help for more information.\n", topic,
        Suggestion(topic, names));
    return kExitUsage;
}

}  // namespace

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
        throw std::runtime_error(project + ": " + kCorruptedProjectFile);
    if (!loaded) throw std::runtime_error(loaded.message);
    return settings;
}

std::vector<std::filesystem::path> FoldersMissingFor(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> missing;
    std::filesystem::path at = std::filesystem::absolute(folder).lexically_normal();
    if (!at.has_filename()) at = at.parent_path();
    std::error_code error;
    for (; at.has_relative_path() && !std::filesystem::exists(at, error); at = at.parent_path())
        missing.push_back(at);
    return missing;
}

void ShowWarnings(const Console& console, const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) console.err << "lexicorn: warning: " << warning << '\n';
}

void ShowNotes(std::ostream& err, const std::vector<std::string>& notes) {
    for (const std::string& note : notes) err << "lexicorn: note: " << note << '\n';
}

int RunCommandLine(int argc, const char* const* argv, const Console& console) {
    std::ostream& out = console.out;
    std::ostream& err = console.err;
    // Ctrl-C stops a helper program that reads a table, as it stops a build.
    SetHelperWaitHook([] { return !CancelRequested(); });
    CLI::App app(
        "Lexicorn Wizard command line: builds Lexicorn string images from string tables and merges "
        "them into target software.",
        "lexicorn");
    // On Windows CLI11 would read "/tmp/x.hex" as an option: options start with - everywhere.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    app.set_version_flag("--version", fmt::format("lexicorn {}", kVersionText));

    std::vector<std::unique_ptr<Subcommand>> subcommands;
    subcommands.push_back(AddBuildCommand(app));
    subcommands.push_back(AddCheckCommand(app));
    subcommands.push_back(AddDumpCommand(app));
    subcommands.push_back(AddScanCommand(app));
    subcommands.push_back(AddMergeCommand(app));
    subcommands.push_back(AddTableCommand(app));
    subcommands.push_back(AddGlyphsCommand(app));
    subcommands.push_back(AddPreviewCommand(app));
    subcommands.push_back(AddExportCommand(app));
    subcommands.push_back(AddImportCommand(app));
    // `lexicorn help [COMMAND]` prints what `lexicorn [COMMAND] --help` prints.
    CLI::App* help = app.add_subcommand("help", "Print the commands, or the options of one command");
    std::string helpTopic;
    help->add_option("COMMAND", helpTopic, "The command whose options to print");

    // Words that no command or option takes are kept, so that the report can name them.
    app.allow_extras();
    for (CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
        command->allow_extras();
    const auto refuse = [&](const CLI::ParseError& e) {
        if (const std::optional<std::string> unknown = UnknownWord(app))
            err << *unknown;
        else
            err << "lexicorn: " << e.what();
        err << "\nRun with --help for more information.\n";
        return kExitUsage;
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        return refuse(e);
    }
    if (const std::optional<CLI::ExtrasError> left = Leftovers(app)) return refuse(*left);

    if (help->parsed()) return PrintHelp(app, helpTopic, console);

    try {
        for (const auto& subcommand : subcommands)
            if (subcommand->Chosen()) return subcommand->Run(console);
        return kExitUsage;  // CLI11 requires one subcommand, so this is not reached
    } catch (const UsageError& error) {
        err << "lexicorn: " << error.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& error) {
        // Ctrl-C stops a helper program at once, and the command ends with the helper's failure:
        // that is the user's cancel, said as a cancelled build says it.
        if (TakeCancelRequest()) {
            err << messages::kCancelledByUser << '\n';
            return kExitCancelled;
        }
        err << "lexicorn: error: " << WithLineFeeds(error.what()) << '\n';
        return kExitFailure;
    }
}

}  // namespace lexicorn::cli
