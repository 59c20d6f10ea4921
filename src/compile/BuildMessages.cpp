#include "compile/BuildMessages.h"

#include <fmt/format.h>

#include "base/Text.h"

namespace lexicorn::messages {

std::string AddingString(std::size_t language, std::size_t string, std::uint32_t imageSize) {
    return fmt::format("Now adding strings...\r\rLanguage: {}\rString: {}\rSize(Bytes): {}", language, string,
                       imageSize);
}

std::string CreatingStringList(std::string_view fileName) {
    return fmt::format("Creating string list: {}", fileName);
}

std::string Summary(std::size_t languages, std::size_t strings, std::uint32_t imageSize,
                    std::string_view folder) {
    return fmt::format(
        "Lexicorn was created succesfully!\r\rNumber of languages: {}\rNumber of strings: {}\r"
        "Total size of Lexicorn: {}\rOutput folder: {}\r",
        languages, strings, imageSize, folder);
}

std::string CannotCreateStringList(std::string_view fileName) {
    return fmt::format("Cannot create string list file {}", fileName);
}

std::string CannotCreateFile(std::string_view fileName) {
    return fmt::format("Cannot create file {}", fileName);
}

std::string WriteFailed(std::string_view failure, std::string_view consequence, ResultCode code) {
    return fmt::format("{}\r\r{}\rError: 0x{}", failure, consequence, HexCode(code));
}

std::string OutputIsInput(std::string_view output, std::string_view role, std::string_view input) {
    return OutputFileIsInput("build", output, role, input, "folder");
}

std::string OutputFileIsInput(std::string_view work, std::string_view output, std::string_view role,
                              std::string_view input, std::string_view chosen) {
    return fmt::format(
        "{} is {} {}.\rA {} does not write over its own input: please choose another output {}.", output,
        role, input, work, chosen);
}

std::string EmptyStringId(std::size_t row) {
    return fmt::format(
        "Found empty cells inside the string list!\r\rCheck first column of your string table\rRow: {}", row);
}

std::string DuplicateStringId(std::string_view id, std::size_t row) {
    return fmt::format("Duplicate string id !!!\r\r{}\rRow: {}", ShownText(id), row);
}

std::string StringIdTooLong(std::string_view id, std::size_t row) {
    return fmt::format("String id too long!\r\r{}\rA string id may hold at most 99 bytes\rRow: {}",
                       ShownText(id), row);
}

std::string CellTooLong(std::size_t row, std::size_t column, std::size_t limit) {
    return fmt::format("Text too long!\r\rA cell may hold at most {} characters\rRow: {}\rColumn: {}", limit,
                       row, column);
}

std::string ImageTooLarge() {
    return "Size of Lexicorn exceeded 64 KB!\r\rPlease remove some languages,\ror try to use LXN32 instead "
           "of LXN16";
}

std::string InvalidStringId(std::string_view why, std::size_t row) {
    return fmt::format("Invalid string id !!!\r\r{}\rRow: {}", why, row);
}

std::string WarningsRefused(std::size_t warnings) {
    return fmt::format("The string table check found {} warning(s); a strict build refuses them.", warnings);
}

std::string GlyphMissing(std::string_view why, std::string_view cell) {
    return fmt::format("The device's font lacks a character!\r\r{}\rCell: {}", why, cell);
}

std::string TooWide(std::string_view why, std::string_view cell) {
    return fmt::format("Text too wide for the device!\r\r{}\rCell: {}", why, cell);
}

std::string PlaceholderMismatch(std::string_view why, std::string_view cell) {
    return fmt::format("Placeholders differ from the default string!\r\r{}\rCell: {}", why, cell);
}

std::string InternalError(ResultCode code) {
    return fmt::format(
        "Creation of Lexicrn file(s) failed due to an internal error!\rPlease restart the "
        "application\r\rError: 0x{}",
        HexCode(code));
}

}  // namespace lexicorn::messages
