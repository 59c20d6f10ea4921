#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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

/// The words an option takes, with the setting each stands for.
template <typename T>
std::map<std::string, T> Choices(std::initializer_list<std::pair<const std::string, T>> choices) {
    return choices;
}

/// Byte counts as the numbers an option takes (as bytes, CLI11 would show them as characters).
template <std::size_t N>
std::vector<int> Numbers(const std::array<std::uint8_t, N>& values) {
    return {values.begin(), values.end()};
}

/// Throws UsageError when the system knows no code page of that name.
void CheckCodePage(const std::string& name);

/// The settings of a project file, the defaults without one. Throws when it cannot be read.
ProjectSettings LoadSettings(const std::string& project);

/// What went wrong with an input file of the merger, for a result code of its open or read.
std::string FileProblem(const std::string& path, ResultCode code);

}  // namespace lexicorn::cli
