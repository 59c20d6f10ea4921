#include <fmt/format.h>

#include <ostream>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/TableOptions.h"
#include "compile/SourceNames.h"
#include "compile/TableCheck.h"

namespace lexicorn::cli {
namespace {

class CheckCommand final : public Subcommand {
  public:
    explicit CheckCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("check",
                                        "Check a string table as a build would take it and print every "
                                        "problem with its cell, and the figures")) {
        options_.AddTo(Command(), "The string table");
        Command().add_flag("--json", json_, "Print one JSON object");
        Command()
            .add_option("--sources", sources_,
                        "Folders of the firmware's C, C++, C# and Visual Basic files: each id that none of "
                        "them names is a warning (unused-id)")
            ->type_name("DIR...");
        Command().add_flag("--untranslated", listMissing_,
                           "List the cells without a translation of their own: empty, [USE_DEFAULT], or the "
                           "default string itself");
    }

    int Run(const Console& console) override {
        const ProjectSettings settings = options_.Settings();
        LoadedTable table = options_.LoadChosenTable(settings);
        if (table.tableReader->Open() != kSuccess)
            throw std::runtime_error(table.spreadsheetPath + ": no such file");
        CheckReport report = CheckTable(table, settings);
        if (!sources_.empty()) {
            std::vector<Finding> unused =
                UnusedIdFindings(table, report, ReadSourceNames({sources_.begin(), sources_.end()}));
            report.findings.insert(report.findings.end(), unused.begin(), unused.end());
            SortFindings(report.findings);
        }
        table.tableReader->Close();
        ShowNotes(console.err, report.notes);
        if (json_)
            PrintJson(report, console.out);
        else
            PrintText(report, table.spreadsheetPath, console.out);
        const bool refused = report.Errors() > 0 || (options_.strict && report.Warnings() > 0);
        return refused ? kExitFailure : kExitSuccess;
    }

  private:
    void PrintText(const CheckReport& report, const std::string& file, std::ostream& out) const {
        std::string text;
        for (const Finding& finding : report.findings) text += FindingLine(file, finding) + '\n';
        if (listMissing_)
            for (const MissingTranslation& missing : report.missing)
                text += MissingLine(file, report, missing) + '\n';
        text += FiguresText(report);
        text += CountsText(report) + '\n';
        out << text;
    }

    void PrintJson(const CheckReport& report, std::ostream& out) const {
        std::string text =
            fmt::format(R"({{"errors":{},"warnings":{},"findings":[)", report.Errors(), report.Warnings());
        for (std::size_t i = 0; i < report.findings.size(); ++i) {
            const Finding& f = report.findings[i];
            // A finding in another file (the limits) names the file and its line; it has no cell.
            const std::string place =
                f.file.empty() ? fmt::format(R"("sheet":{},"cell":"{}")",
                                             f.sheet.empty() ? "null" : JsonString(f.sheet), f.Cell())
                               : fmt::format(R"("file":{},"cell":null)", JsonString(f.file));
            text += fmt::format(
                R"({}{{"severity":"{}","rule":"{}",{},"row":{},"column":{},"language":{},"message":{}}})",
                i ? "," : "", f.severity == Finding::Severity::kError ? "error" : "warning", f.rule, place,
                f.row, f.column, f.language.empty() ? "null" : JsonString(f.language), JsonString(f.message));
        }
        text += R"(],"languages":[)";
        for (std::size_t i = 0; i < report.languages.size(); ++i) {
            const LanguageFigures& l = report.languages[i];
            text += fmt::format(
                R"({}{{"code":{},"strings":{},"translated":{},"untranslated":{},"sameAsDefault":{},"bytes":{},)"
                R"("glyphs":{}}})",
                i ? "," : "", JsonString(l.code), l.strings, l.translated, l.untranslated, l.sameAsDefault,
                l.bytes, l.glyphs.Count());
        }
        if (listMissing_) {
            text += R"(],"untranslatedCells":[)";
            for (std::size_t i = 0; i < report.missing.size(); ++i) {
                const MissingTranslation& m = report.missing[i];
                text += fmt::format(
                    R"({}{{"kind":"{}","sheet":{},"cell":"{}","row":{},"column":{},"language":{},"id":{}}})",
                    i ? "," : "",
                    m.kind == MissingTranslation::Kind::kUntranslated ? "untranslated" : "sameAsDefault",
                    report.sheet.empty() ? "null" : JsonString(report.sheet), CellName(m.row, m.column),
                    m.row, m.column, JsonString(report.languages[m.language].code), JsonString(m.id));
            }
        }
        text += fmt::format(R"(],"imageSize":{},"sharedBytesSaved":{},"capacityUsed":{}}})", report.imageSize,
                            report.sharedBytesSaved,
                            report.capacityUsed ? fmt::format("{:.4f}", *report.capacityUsed) : "null");
        out << text << '\n';
    }

    TableOptions options_;
    bool json_ = false;
    bool listMissing_ = false;
    std::vector<std::string> sources_;
};

}  // namespace

std::unique_ptr<Subcommand> AddCheckCommand(CLI::App& app) { return std::make_unique<CheckCommand>(app); }

}  // namespace lexicorn::cli
