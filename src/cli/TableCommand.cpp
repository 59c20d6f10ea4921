#include <fmt/format.h>

#include <ostream>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "table/TableReaderFactory.h"

namespace lexicorn::cli {
namespace {

class TableCommand final : public Subcommand {
  public:
    explicit TableCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("table", "Print a string table as the reader sees it")) {
        Command().add_option("TABLE", file_, "The string table")->required();
        Command().add_flag("--json", json_, "Print one JSON object");
        Command()
            .add_option("--code-page", codePage_, "Code page of single-byte text (default CP1252)")
            ->type_name("NAME");
    }

    int Run(const Console& console) override {
        CheckCodePage(codePage_);
        std::unique_ptr<TableReader> reader = CreateTableReader(file_);
        if (reader->Open() != kSuccess) throw std::runtime_error(file_ + ": no such file");
        reader->SetUtf8Mode(true);
        const std::uint16_t rows = reader->GetRowCount();
        const std::uint16_t columns = reader->GetColumnCount();
        // Tables run to hundreds of thousands of cells: the text is gathered and written in one piece.
        std::string text;
        if (json_) text += fmt::format(R"({{"rows":{},"columns":{},"cells":[)", rows, columns);
        for (std::uint32_t row = 1; row <= rows; ++row) {
            if (json_) text += row > 1 ? ",[" : "[";
            for (std::uint32_t column = 1; column <= columns; ++column) {
                // Without --json: one line per row, each cell quoted so that tabs and line breaks stay
                // visible.
                if (column > 1) text += json_ ? ',' : '\t';
                text += JsonString(
                    reader->GetCell(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row)));
            }
            text += json_ ? "]" : "\n";
        }
        if (json_) text += "]}\n";
        console.out << text;
        reader->Close();
        return kExitSuccess;
    }

  private:
    std::string file_;
    std::string codePage_ = kDefaultCodePage;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> AddTableCommand(CLI::App& app) { return std::make_unique<TableCommand>(app); }

}  // namespace lexicorn::cli
