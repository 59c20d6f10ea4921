#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "table/TableReader.h"

// The workbook readers read files: each input goes to a file of its own and the reader is let loose
// on it. A TableError is the reader's clear refusal, which is fine; anything else is a finding.
template <typename Read>
int FuzzFile(const std::uint8_t* data, std::size_t size, Read&& read) {
    static const std::string path = "/tmp/lexicorn-fuzz-" + std::to_string(getpid());
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        read(path);
    } catch (const lexicorn::TableError&) {
    }
    return 0;
}
