#include "FuzzTarget.h"
#include "table/WorkbookFormats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzFile(data, size, [](const std::string& path) {
        const lexicorn::SheetCells cells = lexicorn::ReadXlsxSheet(path);
        // Reading every cell back is part of what a build does.
        for (std::size_t row = 1; row <= cells.RowCount(); ++row)
            for (std::size_t column = 1; column <= cells.ColumnCount(); ++column)
                (void)cells.Get(row, column);
    });
}
