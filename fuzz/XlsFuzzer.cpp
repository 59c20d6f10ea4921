#include "FuzzTarget.h"
#include "table/WorkbookFormats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzSheet(data, size, lexicorn::ReadXlsSheet);
}
