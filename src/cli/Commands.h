#pragma once

#include <CLI/CLI.hpp>
#include <array>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/SettingChoices.h"
#include "cli/CommandLine.h"
#include "project/ProjectSettings.h"

// The subcommands of `lexicorn`, one file each, and what they share.
namespace lexicorn::cli {

/// A mistake in the command itself: reported with exit code 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// One subcommand: its options are registered with the application when it is made; Run does
/// the work once the command line named it.
class Subcommand {
  public:
    explicit Subcommand(CLI::App* command) : command_(command) {}
    virtual ~Subcommand() = default;
    /// True when the command line names this subcommand.
    bool Chosen() const { return command_->parsed(); }
    virtual int Run(const Console& console) = 0;

  protected:
    CLI::App& Command() { return *command_; }

  private:
    CLI::App* command_;
};

std::unique_ptr<Subcommand> AddBuildCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddCheckCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddDumpCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddScanCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddMergeCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddTableCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddGlyphsCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddPreviewCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddExportCommand(CLI::App& app);
std::unique_ptr<Subcommand> AddImportCommand(CLI::App& app);

/// The words an option takes, in the order its help lists them, with the setting each stands for.
template <typename T>
using Words = std::vector<std::pair<std::string, T>>;

/// The words of a setting's choices, in the order its table lists them.
template <typename Enum, std::size_t N>
Words<Enum> WordsOf(const SettingChoice<Enum> (&choices)[N]) {
    Words<Enum> words;
    for (const SettingChoice<Enum>& choice : choices) words.emplace_back(choice.word, choice.value);
    return words;
}

/// Lets `option` take one of `words`: its help shows them as `a|b|c`, another value is refused
/// with the list of words, and the word becomes its setting.
template <typename T>
CLI::Option* TakeWords(CLI::Option* option, Words<T> words) {
    std::string shown, listed;
    for (const auto& [word, setting] : words) {
        shown += (shown.empty() ? "" : "|") + word;
        listed += (listed.empty() ? "" : ",") + word;
    }
    // CLI11's own transformers print the settings behind the words, which are small numbers: as
    // characters they put control bytes into the help. This one hands CLI11 the setting's number.
    auto toSetting = [words = std::move(words), listed](std::string& value) -> std::string {
        for (const auto& [word, setting] : words)
            if (value == word) {
                value = std::to_string(static_cast<long long>(setting));
                return {};
            }
        return value + " not in {" + listed + "}";
    };
    return option->transform(CLI::Validator(std::move(toSetting), ""))->type_name(shown);
}

/// Lets `option` take one of `values`, byte counts that its help shows as `1|2|4`.
template <std::size_t N>
CLI::Option* TakeNumbers(CLI::Option* option, const std::array<std::uint8_t, N>& values) {
    std::string shown;
    for (std::uint8_t value : values) shown += (shown.empty() ? "" : "|") + std::to_string(value);
    // As bytes, CLI11 would show and compare them as characters.
    const std::vector<int> numbers(values.begin(), values.end());
    return option->check(CLI::IsMember(numbers).description(""))->type_name(shown);
}

/// Throws UsageError when the system knows no code page of that name.
void CheckCodePage(const std::string& name);

/// The settings of a project file, the defaults without one. Throws when it cannot be read.
ProjectSettings LoadSettings(const std::string& project);

/// The folders that making `folder` creates, deepest first: a command that fails removes them again.
std::vector<std::filesystem::path> FoldersMissingFor(const std::filesystem::path& folder);

/// Prints what reading a target let pass with a warning, "lexicorn: warning: <warning>" a line each,
/// on standard error.
void ShowWarnings(const Console& console, const std::vector<std::string>& warnings);
/// Each note on the error stream, "lexicorn: note: " before it: the output stays the report's.
void ShowNotes(std::ostream& err, const std::vector<std::string>& notes);

}  // namespace lexicorn::cli
