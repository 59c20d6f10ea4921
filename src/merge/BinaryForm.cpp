#include "merge/AddressSpace.h"
#include "merge/FirmwareForms.h"

// A binary: the bytes themselves from the lowest address, no records and nothing besides. It is what
// a file is when no text form claims its first line.
namespace lexicorn {
namespace {

constexpr std::string_view kExtensions[] = {"bin"};

bool StartsFile(std::string_view) { return false; }

FirmwareFile ReadRecords(firmware::TextLines&, const std::string& fileName, firmware::DataSink&) {
    throw FirmwareError(fileName + ": a binary file holds no records");
}

}  // namespace

constinit const FirmwareForm kBinaryForm = {
    .format = FirmwareFormat::kBinary,
    .name = "Binary",
    .word = "bin",
    .extensions = kExtensions,
    .startsFile = StartsFile,
    .readRecords = ReadRecords,
    .write = WriteBinary,
};

}  // namespace lexicorn
