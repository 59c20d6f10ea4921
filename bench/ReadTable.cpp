// Reads every cell of a table through the table reader, as a build does, and prints how many there
// are: the program's side of the comparison with other spreadsheet readers.
#include <cstdio>

#include "table/TableReaderFactory.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read-table TABLE\n");
        return 2;
    }
    try {
        auto reader = lexicorn::CreateTableReader(argv[1]);
        reader->SetUtf8Mode(true);
        std::size_t cells = 0;
        for (std::uint32_t row = 1; row <= reader->GetRowCount(); ++row)
            for (std::uint32_t column = 1; column <= reader->GetColumnCount(); ++column)
                cells += !reader->GetCell(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row))
                              .empty();
        std::printf("%zu cells\n", cells);
    } catch (const lexicorn::TableError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
