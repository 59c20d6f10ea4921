#include <fmt/format.h>

#include <filesystem>
#include <ostream>

#include "base/Unicode.h"
#include "cli/Commands.h"
#include "cli/TableOptions.h"
#include "compile/BuildMessages.h"
#include "compile/OwnInputs.h"
#include "compile/TranslationExport.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "table/TableLayout.h"

namespace lexicorn::cli {
namespace {

namespace fs = std::filesystem;

class ExportCommand final : public Subcommand {
  public:
    explicit ExportCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("export",
                                        "Write the strings of languages for translators: an XLIFF 1.2 or PO "
                                        "file each, with ids, limits and placeholders")) {
        CLI::App& command = Command();
        options_.AddTo(command, "The string table");
        // What the image is made of plays no part in what a translator gets.
        for (const char* unused :
             {"--encoding", "--table", "--align", "--no-default-strings", "--strict", "--anti-alias"})
            command.remove_option(command.get_option(unused));
        auto* language =
            command
                .add_option("--language", language_, "The one language (its code, row 2) to write into FILE")
                ->type_name("CODE");
        language->excludes(command.get_option("--languages"));
        command
            .add_option("-o,--output", output_,
                        "With --language the file (.xlf, .xliff or .po), else the folder that gets one "
                        "file for each language, named after its code (de.xlf)")
            ->type_name("PATH")
            ->required();
        TakeWords(command.add_option("--format", format_,
                                     "xliff (XLIFF 1.2) or po (gettext); default: the file's extension, "
                                     "xliff for a folder"),
                  WordsOf(kExchangeFormats));
        TakeWords(command.add_option("--inline", exportOptions_.inlineCodes,
                                     "Placeholders in XLIFF as <ph> holding them (the default), as <x/> "
                                     "with equiv-text, or as plain text"),
                  WordsOf(kInlineCodes));
    }

    int Run(const Console& console) override {
        if (language_) options_.languages = *language_;
        const ProjectSettings settings = options_.Settings();
        LoadedTable table = options_.LoadChosenTable(settings);
        exportOptions_.format = Format();
        const std::vector<std::size_t> entries = Entries(table, settings);
        const std::vector<fs::path> paths = Paths(table, entries);
        for (const fs::path& path : paths) RefuseOverInput(path, table, settings);

        if (table.tableReader->Open() != kSuccess)
            throw std::runtime_error(table.spreadsheetPath + ": no such file");
        std::vector<TranslationFile> files = ExportTranslations(table, settings, entries, exportOptions_);
        table.tableReader->Close();

        Write(files, paths);
        for (std::size_t i = 0; i < files.size(); ++i)
            console.out << fmt::format("{}: {} strings, {} translated\n", paths[i].string(), files[i].strings,
                                       files[i].translated);
        return kExitSuccess;
    }

  private:
    ExchangeFormat Format() const {
        if (format_) return *format_;
        if (!language_) return ExchangeFormat::kXliff;
        if (const std::optional<ExchangeFormat> named = ExchangeFormatOf(output_)) return *named;
        throw UsageError(fmt::format(
            "--output {}: name an XLIFF file (.xlf, .xliff) or a PO file (.po), or give --format", output_));
    }

    // The languages asked for; without a choice (of the command or the project), every language but
    // the default one, which is the source of them all.
    std::vector<std::size_t> Entries(const LoadedTable& table, const ProjectSettings& settings) const {
        const bool chosen = options_.languages ? *options_.languages != "all" : !settings.languages.empty();
        std::vector<std::size_t> entries;
        for (std::size_t i = 0; i < table.languages.size(); ++i)
            if (table.languages[i].selected && (chosen || i != 0)) entries.push_back(i);
        if (entries.empty())
            throw UsageError("the table has no language to translate into: only its default one");
        return entries;
    }

    std::vector<fs::path> Paths(const LoadedTable& table, const std::vector<std::size_t>& entries) const {
        if (language_) return {fs::path(output_)};
        std::vector<fs::path> paths;
        for (std::size_t entry : entries)
            paths.push_back(fs::path(output_) / TranslationFileName(Utf16ToUtf8(table.languages[entry].code),
                                                                    exportOptions_.format));
        return paths;
    }

    // An export never writes over what it reads.
    void RefuseOverInput(const fs::path& path, const LoadedTable& table,
                         const ProjectSettings& settings) const {
        if (const std::optional<CommandInput> input =
                InputNamedBy(path, TableInputs(table.spreadsheetPath, options_.project, settings)))
            throw std::runtime_error(
                messages::OutputFileIsInput("translation export", path.string(), input->role, input->path.string()));
    }

    // The files as one set: all of them are written, or none.
    void Write(const std::vector<TranslationFile>& files, const std::vector<fs::path>& paths) const {
        if (language_) return WriteFileAtomically(paths.front(), files.front().bytes);
        const std::vector<fs::path> madeFolders = FoldersMissingFor(output_);
        std::error_code error;
        fs::create_directories(output_, error);
        if (error) throw std::runtime_error(fmt::format("{}: {}", output_, error.message()));
        try {
            FileSet set;
            for (std::size_t i = 0; i < files.size(); ++i) set.Add(paths[i]).Write(files[i].bytes);
            set.Commit();
        } catch (...) {
            for (const fs::path& folder : madeFolders) fs::remove(folder, error);
            throw;
        }
    }

    TableOptions options_;
    std::optional<std::string> language_;
    std::string output_;
    std::optional<ExchangeFormat> format_;
    ExportOptions exportOptions_;
};

}  // namespace

std::unique_ptr<Subcommand> AddExportCommand(CLI::App& app) { return std::make_unique<ExportCommand>(app); }

}  // namespace lexicorn::cli
