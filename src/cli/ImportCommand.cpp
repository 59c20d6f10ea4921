#include <fmt/format.h>

#include <filesystem>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/TableOptions.h"
#include "compile/BuildMessages.h"
#include "compile/OwnInputs.h"
#include "compile/TranslationImport.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "table/TableEdit.h"

namespace lexicorn::cli {
namespace {

namespace fs = std::filesystem;

std::string Cells(const std::vector<std::string>& cells) {
    std::string list;
    for (const std::string& cell : cells) list += (list.empty() ? "" : " ") + cell;
    return list;
}

std::string JsonCells(const std::vector<std::string>& cells) {
    std::string list;
    for (const std::string& cell : cells) list += (list.empty() ? "\"" : ",\"") + cell + '"';
    return '[' + list + ']';
}

std::string JsonLines(const std::vector<std::string>& lines) {
    std::string list;
    for (const std::string& line : lines) list += (list.empty() ? "" : ",") + JsonString(line);
    return '[' + list + ']';
}

class ImportCommand final : public Subcommand {
  public:
    explicit ImportCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("import",
                                        "Take translations back into the table from XLIFF (1.2, 1.1) and PO "
                                        "files: only the cells they change are written")) {
        CLI::App& command = Command();
        options_.AddTo(command, "The string table that gets the translations");
        // Only the placeholders' syntax of the build plays a part in what is taken.
        for (const char* unused :
             {"--encoding", "--table", "--align", "--no-default-strings", "--strict", "--anti-alias",
              "--languages", "--font", "--font-size", "--limits", "--max-width", "--code-page"})
            command.remove_option(command.get_option(unused));
        command.add_option("FILE", files_, "The translation files (.xlf, .xliff, .po), one per language")
            ->required();
        command
            .add_option("-o,--output", output_,
                        "Write the table with the translations here and leave TABLE as it is")
            ->type_name("PATH");
        command.add_flag("--accept-changed-sources", importOptions_.acceptChangedSources,
                         "Take a unit whose source is no longer the table's default string");
        command.add_flag("--json", json_, "Print one JSON object");
    }

    int Run(const Console& console) override {
        const ProjectSettings settings = options_.Settings();
        LoadedTable table = options_.LoadChosenTable(settings);
        const std::string& path = table.spreadsheetPath;
        CheckTableWritable(path);
        if (!output_.empty()) {
            // The table may be named: that is the edit in place. Every other input is refused.
            std::vector<CommandInput> inputs = TableInputs(path, options_.project, settings);
            std::erase_if(inputs, [&](const CommandInput& input) { return input.path == path; });
            for (const std::string& file : files_) inputs.push_back({"the translation file", file});
            if (const std::optional<CommandInput> input = InputNamedBy(output_, inputs))
                throw std::runtime_error(messages::OutputFileIsInput("translation import", output_, input->role,
                                                                     input->path.string()));
        }

        ImportPlan plan;
        std::vector<TranslationDocument> documents;
        for (const std::string& file : files_) try {
                documents.push_back(ReadTranslationDocument(file, ReadWholeFile(file)));
            } catch (const Error& error) {
                plan.problems.push_back(error.what());
            }
        if (table.tableReader->Open() != kSuccess) throw std::runtime_error(path + ": no such file");
        ImportPlan planned = PlanImport(table, settings, documents, importOptions_);
        table.tableReader->Close();
        plan.problems.insert(plan.problems.end(), planned.problems.begin(), planned.problems.end());
        plan.warnings = std::move(planned.warnings);
        plan.languages = std::move(planned.languages);
        plan.changes = std::move(planned.changes);

        const std::string written = plan.problems.empty() ? Write(path, plan) : std::string();
        if (json_)
            PrintJson(plan, written, console.out);
        else
            PrintText(plan, written, console);
        return plan.problems.empty() ? kExitSuccess : kExitFailure;
    }

  private:
    // The table with the changes, in place or into the output; the table as it was when nothing changes.
    std::string Write(const std::string& path, const ImportPlan& plan) const {
        const std::string target = output_.empty() ? path : output_;
        if (plan.changes.empty() && output_.empty()) return {};
        std::vector<CellEdit> edits;
        edits.reserve(plan.changes.size());
        for (const CellChange& change : plan.changes)
            edits.push_back({change.row, change.column, change.text});
        WriteFileAtomically(target, EditTable(path, edits));
        return target;
    }

    static void PrintText(const ImportPlan& plan, const std::string& written, const Console& console) {
        std::string text;
        for (const std::string& problem : plan.problems) text += problem + '\n';
        for (const std::string& warning : plan.warnings) text += "warning: " + warning + '\n';
        for (const LanguageImport& l : plan.languages) {
            text += fmt::format("{}: {}{}: {} changed", l.fileName, l.code, l.added ? " (a new column)" : "",
                                l.changed.size());
            if (!l.changed.empty()) text += " (" + Cells(l.changed) + ")";
            text += fmt::format(", {} unchanged, {} skipped", l.unchanged.size(), l.skipped.size());
            if (!l.skipped.empty()) text += " (" + Cells(l.skipped) + ")";
            if (l.empty) text += fmt::format(", {} untranslated", l.empty);
            text += '\n';
            if (l.bySource)
                text += fmt::format(
                    "{}: {} {} named no id of the table and matched a string by its source text\n",
                    l.fileName, l.bySource, l.bySource == 1 ? "unit" : "units");
        }
        if (!plan.problems.empty()) {
            console.err << fmt::format("{}nothing written: {} {}\n", text, plan.problems.size(),
                                       plan.problems.size() == 1 ? "problem" : "problems");
            return;
        }
        text += written.empty() ? "nothing to change\n" : fmt::format("written: {}\n", written);
        console.out << text;
    }

    static void PrintJson(const ImportPlan& plan, const std::string& written, std::ostream& out) {
        std::string text = fmt::format(R"({{"problems":{},"warnings":{},"languages":[)",
                                       JsonLines(plan.problems), JsonLines(plan.warnings));
        for (std::size_t i = 0; i < plan.languages.size(); ++i) {
            const LanguageImport& l = plan.languages[i];
            text += fmt::format(
                R"({}{{"file":{},"code":{},"column":{},"added":{},"changed":{},"unchanged":{},"skipped":{},)"
                R"("untranslated":{},"bySource":{}}})",
                i ? "," : "", JsonString(l.fileName), JsonString(l.code), l.column,
                l.added ? "true" : "false", JsonCells(l.changed), JsonCells(l.unchanged),
                JsonCells(l.skipped), l.empty, l.bySource);
        }
        text += fmt::format(R"(],"written":{}}})", written.empty() ? "null" : JsonString(written));
        out << text << '\n';
    }

    TableOptions options_;
    std::vector<std::string> files_;
    std::string output_;
    ImportOptions importOptions_;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> AddImportCommand(CLI::App& app) { return std::make_unique<ImportCommand>(app); }

}  // namespace lexicorn::cli
