#include <string_view>

#include "table/CsvReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        lexicorn::CsvReader::Parse(std::string_view(reinterpret_cast<const char*>(data), size), ',',
                                   "fuzz.csv");
    } catch (const lexicorn::TableError&) {
    }
    return 0;
}
