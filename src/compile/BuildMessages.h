#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ResultCodes.h"

// The texts that a build shows, in one place. Line breaks inside a message are carriage returns.
namespace lexicorn::messages {

inline constexpr const char* kNoExcelFileSelected = "No Excel file selected!";
inline constexpr const char* kNoLanguagesSelected = "No languages selected!";
inline constexpr const char* kNoLanguageColumn =
    "The string table has no language column!\r\rColumn 2 and the columns after it hold one language each: "
    "its name in row 1, its code in row 2 and its strings from row 3 on.";
inline constexpr const char* kCannotOpenExcelFile = "Cannot open Excel file!";
inline constexpr const char* kCancelledByUser = "Cancelled by user!";
/// Follows the summary when Cancel was pressed while the new files were being put in place.
inline constexpr const char* kCancelTooLate = "\rCancel came too late: the new files were already in place.";
inline constexpr const char* kNoStrings = "The string table holds no strings.";
inline constexpr const char* kProgressCaption = "Lexicorn creation in progress, Please wait...";
inline constexpr const char* kCreatingLanguageTable = "Now creating language table...";
inline constexpr const char* kCreatingImage = "Creating Lexicorn.bin...";
inline constexpr const char* kCreatingCSource = "Creating Lexicorn.c...\n";

std::string AddingString(std::size_t language, std::size_t string, std::uint32_t imageSize);
std::string CreatingStringList(std::string_view fileName);
std::string Summary(std::size_t languages, std::size_t strings, std::uint32_t imageSize,
                    std::string_view folder);
std::string CannotCreateStringList(std::string_view fileName);
std::string CannotCreateFile(std::string_view fileName);
/// A file of the build that could not be written: `failure` (the file and the system's reason)
/// first, then `consequence` (which of the build's files it is) and the code.
std::string WriteFailed(std::string_view failure, std::string_view consequence, ResultCode code);
/// An output of the build that is one of its inputs: `role` says which ("the string table").
std::string OutputIsInput(std::string_view output, std::string_view role, std::string_view input);
/// An output of `work` ("preview") that is one of its inputs; the user chooses another output
/// `chosen` ("file").
std::string OutputFileIsInput(std::string_view work, std::string_view output, std::string_view role,
                              std::string_view input, std::string_view chosen = "file");
std::string EmptyStringId(std::size_t row);
std::string DuplicateStringId(std::string_view id, std::size_t row);
std::string StringIdTooLong(std::string_view id, std::size_t row);
std::string CellTooLong(std::size_t row, std::size_t column, std::size_t limit);
std::string ImageTooLarge();
std::string InvalidStringId(std::string_view why, std::size_t row);
std::string WarningsRefused(std::size_t warnings);
std::string GlyphMissing(std::string_view why, std::string_view cell);
std::string TooWide(std::string_view why, std::string_view cell);
std::string PlaceholderMismatch(std::string_view why, std::string_view cell);
std::string InternalError(ResultCode code);

}  // namespace lexicorn::messages
