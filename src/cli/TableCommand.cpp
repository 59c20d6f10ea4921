#include <fmt/format.h>

#include <ostream>

#include "cli/Commands.h"
#include "cli/Csv.h"
#include "cli/Json.h"
#include "cli/StandardStreams.h"
#include "platform/AtomicFile.h"
#include "table/TableReaderFactory.h"

namespace lexicorn::cli {
namespace {

class TableCommand final : public Subcommand {
  public:
    explicit TableCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("table", "Print a string table as the reader sees it")) {
        Command()
            .add_option("TABLE", file_, "The string table; - reads standard input (a workbook, or CSV)")
            ->required();
        Command().add_flag("--json", json_, "Print one JSON object");
        Command().add_flag(
            "--csv", csv_,
            "Print the table as CSV (RFC 4180, UTF-8), e.g. for git diff to compare workbooks");
        Command()
            .add_option("--code-page", codePage_, "Code page of single-byte text (default CP1252)")
            ->type_name("NAME");
    }

    int Run(const Console& console) override {
        if (json_ && csv_) throw UsageError("--json and --csv: the table is printed in one form only");
        CheckCodePage(codePage_);
        if (file_ != kStandardStream) {
            Print(file_, console);
            return kExitSuccess;
        }
        // The readers read files: standard input becomes one for as long as it is read, and its
        // messages name standard input rather than that file.
        ScratchFolder scratch;
        const std::string copy = (scratch.path() / "input.csv").string();
        WriteFileAtomically(copy, ReadStandardInput(console));
        try {
            Print(copy, console);
        } catch (const std::exception& error) {
            std::string message = error.what();
            for (std::size_t at; (at = message.find(copy)) != std::string::npos;)
                message.replace(at, copy.size(), kStandardInputName);
            throw std::runtime_error(message);
        }
        return kExitSuccess;
    }

  private:
    void Print(const std::string& file, const Console& console) const {
        std::unique_ptr<TableReader> reader = CreateTableReader(file);
        if (reader->Open() != kSuccess) throw std::runtime_error(file + ": no such file");
        reader->SetUtf8Mode(true);
        // Tables run to hundreds of thousands of cells: the text is gathered and written in one piece.
        console.out << (csv_ ? Csv(*reader) : Quoted(*reader));
        reader->Close();
    }

    static std::string Cell(TableReader& reader, std::uint32_t column, std::uint32_t row) {
        return reader.GetCell(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row));
    }

    // Every record holds every column and ends with CR LF, as RFC 4180 has it.
    static std::string Csv(TableReader& reader) {
        std::string text;
        for (std::uint32_t row = 1; row <= reader.GetRowCount(); ++row) {
            for (std::uint32_t column = 1; column <= reader.GetColumnCount(); ++column) {
                if (column > 1) text += ',';
                text += CsvField(Cell(reader, column, row));
            }
            text += "\r\n";
        }
        return text;
    }

    // One JSON object, or one line per row with each cell quoted so that tabs and line breaks stay
    // visible.
    std::string Quoted(TableReader& reader) const {
        const std::uint16_t rows = reader.GetRowCount();
        const std::uint16_t columns = reader.GetColumnCount();
        std::string text;
        if (json_) text += fmt::format(R"({{"rows":{},"columns":{},"cells":[)", rows, columns);
        for (std::uint32_t row = 1; row <= rows; ++row) {
            if (json_) text += row > 1 ? ",[" : "[";
            for (std::uint32_t column = 1; column <= columns; ++column) {
                if (column > 1) text += json_ ? ',' : '\t';
                text += JsonString(Cell(reader, column, row));
            }
            text += json_ ? "]" : "\n";
        }
        if (json_) text += "]}\n";
        return text;
    }

    std::string file_;
    std::string codePage_ = kDefaultCodePage;
    bool json_ = false;
    bool csv_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> AddTableCommand(CLI::App& app) { return std::make_unique<TableCommand>(app); }

}  // namespace lexicorn::cli
