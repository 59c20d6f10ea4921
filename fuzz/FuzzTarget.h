#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "table/SheetCells.h"
#include "table/TableReader.h"

// The workbook readers read files: each input goes to a file of its own and the reader is let loose
// on it, then every cell is read back as a build does. A TableError is the reader's clear refusal,
// which is fine; anything else is a finding.
inline int FuzzSheet(const std::uint8_t* data, std::size_t size,
                     lexicorn::SheetCells (*read)(const std::string& fileName)) {
    static const std::string path = "/tmp/lexicorn-fuzz-" + std::to_string(getpid());
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        const lexicorn::SheetCells cells = read(path);
        for (std::size_t row = 1; row <= cells.RowCount(); ++row)
            for (std::size_t column = 1; column <= cells.ColumnCount(); ++column) (void)cells.Get(row, column);
    } catch (const lexicorn::TableError&) {
    }
    return 0;
}
