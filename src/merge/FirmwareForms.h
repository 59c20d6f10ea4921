#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "merge/Firmware.h"

// The forms a merge target and output may take. Each is one file that registers everything that
// differs between them; detection, reading, writing, the command line and the file choosers walk
// the registry and never ask which form it is.
namespace lexicorn {

namespace firmware {
class TextLines;
class DataSink;
}  // namespace firmware

/// What a firmware form is to the merge. Every member is a rule of its own with no default: a form
/// written with designated initialisers that leaves one out does not compile.
struct FirmwareForm {
    FirmwareFormat format;
    /// The form's name as messages and file choosers show it.
    std::string_view name;
    /// The word the command line takes for it.
    std::string_view word;
    /// The extensions (lower case, without the dot) that a file of the form is named with.
    std::span<const std::string_view> extensions;
    /// Whether a text whose first line (what follows blank lines, at most 1 KiB of printable
    /// characters and tabs, never empty) is `firstLine` is in this form: a record's line, damaged or
    /// not, which the reader then reads or refuses with its line.
    bool (*startsFile)(std::string_view firstLine);
    /// Reads every line of `lines`, hands the data of each record to `sink`, and returns what the
    /// records say besides; a FirmwareError "<fileName>: line <n>: <what>" for a record it refuses.
    FirmwareFile (*readRecords)(firmware::TextLines& lines, const std::string& fileName,
                                firmware::DataSink& sink);
    /// Writes `file` in the form; `fill` is what a form without gaps puts between the segments.
    void (*write)(const FirmwareFile& file, std::uint8_t fill, const TextSink& write);
};

extern const FirmwareForm kBinaryForm;
extern const FirmwareForm kIntelHexForm;
extern const FirmwareForm kSRecordForm;

/// Every firmware form, in the order the command line, the choosers and detection take them.
inline constexpr const FirmwareForm* kFirmwareForms[] = {&kBinaryForm, &kIntelHexForm, &kSRecordForm};

/// The registered form of `format`; a form that is not registered is a fault of the program.
const FirmwareForm& FormOf(FirmwareFormat format);

/// What follows the last dot of a file's name; empty when the name has none.
std::string_view ExtensionOf(std::string_view path);
/// The form whose extensions hold the extension of `path`, in any case; none when no form's do.
const FirmwareForm* FormNamedBy(std::string_view path);

}  // namespace lexicorn
